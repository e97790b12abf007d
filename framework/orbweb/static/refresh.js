// Follows the repository: the server sends "change" with the new generation
// when what the page shows changed; the page reloads only then, so a page
// whose repository stays the same is never reloaded.
(function () {
  var shown = Number(document.body.dataset.generation || 0);
  if (!shown || !window.EventSource) return;
  var events = new EventSource('/events?since=' + shown);
  events.addEventListener('change', function (event) {
    if (Number(event.data) > shown) {
      events.close();
      window.location.reload();
    }
  });
})();
