// The counter control: four digit bitmaps in a sunken border.
#include "publisher/counter/DigitCounter.h"

#include "platform/resource_media.h"

namespace {

// A sunken border is dark along the top and left and light along the
// bottom and right, as if the digits lay below the dialog's face.
const char* const kShadow = "\x1b[90m";
const char* const kHighlight = "\x1b[97m";
const char* const kPlain = "\x1b[39m";

// Cut or pad a bitmap to the cell every digit gets.
std::vector<std::string> Fit(std::vector<std::string> rows) {
    rows.resize(CDigitCounter::kDigitRows);
    for (std::string& row : rows) row.resize(CDigitCounter::kDigitColumns, ' ');
    return rows;
}

std::string Repeat(const char* piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

}  // namespace

CDigitCounter::CDigitCounter() {
    // Without the resource library a digit shows as a question mark.
    for (auto& bitmap : bitmaps_) bitmap = Fit({"", " ? ", ""});
}

BOOL CDigitCounter::SubclassDlgItem(UINT id, orb::Dialog* parent, HINSTANCE resources) {
    if (parent == nullptr || parent->Item(static_cast<int>(id)) == nullptr) return FALSE;
    parent_ = parent;
    id_ = id;
    for (size_t digit = 0; digit < bitmaps_.size(); ++digit) {
        std::vector<std::string> rows = orb::LoadBitmapRows(resources, kDigitBitmaps[digit]);
        if (!rows.empty()) bitmaps_[digit] = Fit(rows);
    }
    Repaint();
    return TRUE;
}

BOOL CDigitCounter::SetValue(unsigned value) {
    if (value == value_) return TRUE;
    if (value > kMaxValue) return FALSE;
    value_ = value;
    for (unsigned& digit : digits_) {
        digit = value % 10;
        value /= 10;
    }
    Repaint();
    return TRUE;
}

std::vector<std::string> CDigitCounter::Paint() const {
    const size_t width = digits_.size() * kDigitColumns;
    std::vector<std::string> picture;
    picture.push_back(std::string(kShadow) + "┌" + Repeat("─", width) + kHighlight + "┐" + kPlain);
    for (size_t row = 0; row < kDigitRows; ++row) {
        std::string line = std::string(kShadow) + "│" + kPlain;
        for (size_t place = digits_.size(); place-- > 0;) line += bitmaps_[digits_[place]][row];
        picture.push_back(line + kHighlight + "│" + kPlain);
    }
    picture.push_back(std::string(kShadow) + "└" + kHighlight + Repeat("─", width) + "┘" + kPlain);
    return picture;
}

void CDigitCounter::Repaint() {
    if (parent_ != nullptr) parent_->SetItemPicture(static_cast<int>(id_), value_, Paint());
}
