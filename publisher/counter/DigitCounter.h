// CDigitCounter: the four-digit counter of the publisher's dialog (and the
// launcher's progress dialog). It takes over a counter control of an
// orb::Dialog and paints into it a picture the front ends draw: the four
// digits, from the resource library's digit bitmaps, inside a sunken
// border. The value runs from 0 to 9999; a larger one is refused and the
// counter keeps showing what it showed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/dynload.h"
#include "platform/ui.h"

class CDigitCounter {
  public:
    static constexpr unsigned kMaxValue = 9999;
    // Digit d is bitmap kDigitBitmaps[d] of the resource library.
    static constexpr std::array<unsigned, 10> kDigitBitmaps = {139, 131, 132, 133, 134,
                                                               135, 136, 137, 138, 130};
    // A digit bitmap is drawn in this many columns and rows; a picture of
    // another size is cut or padded to it.
    static constexpr size_t kDigitColumns = 3;
    static constexpr size_t kDigitRows = 3;

    CDigitCounter();

    // Takes over control `id` of `parent` (a counter control), loads the
    // digit bitmaps from `resources` and paints the current value. FALSE
    // when the dialog has no such control.
    BOOL SubclassDlgItem(UINT id, orb::Dialog* parent, HINSTANCE resources);

    // TRUE when the value is shown (also when it already was); FALSE for a
    // value above 9999, which leaves value and picture unchanged.
    BOOL SetValue(unsigned value);
    unsigned GetValue() const { return value_; }
    // Ones, tens, hundreds, thousands.
    const std::array<unsigned, 4>& Digits() const { return digits_; }

    // The picture: a border row, kDigitRows rows of digits, a border row.
    std::vector<std::string> Paint() const;

  private:
    void Repaint();

    orb::Dialog* parent_ = nullptr;
    UINT id_ = 0;
    unsigned value_ = 0;
    std::array<unsigned, 4> digits_{};
    std::array<std::vector<std::string>, 10> bitmaps_;
};
