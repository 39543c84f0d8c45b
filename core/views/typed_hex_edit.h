#pragma once

#include <QString>

#include <optional>

namespace dmm {

// A value typed into a grid cell that has no editor: each hexadecimal digit is appended
// to what the cell shows and only the last width digits are kept, so typing 1, 2, 3 into
// a byte cell shows 23. Enter (or leaving the cell) commits; after a commit the cell
// keeps showing the typed text until the next refresh brings the chip's value.
class TypedHexEdit {
  public:
    struct Commit {
        int cell;
        int value;
    };

    // The edit in progress is on cell.
    bool Active(int cell) const { return active_ && cell_ == cell; }
    bool Active() const { return active_; }
    // The text cell shows instead of its value, or nothing.
    std::optional<QString> Shown(int cell) const {
        if (cell_ != cell || cell_ < 0) return std::nullopt;
        return text_;
    }
    int cell() const { return cell_; }

    // A digit typed on cell, which shows shownText. Another cell's edit must have been
    // committed first (the caller does that when the current cell moves).
    void Type(int cell, const QString& shownText, QChar digit, int width) {
        QString text = (Active(cell) ? text_ : shownText) + digit.toUpper();
        if (text.size() > width) text = text.right(width);
        cell_ = cell;
        text_ = text;
        active_ = true;
    }
    // Removes the last digit of the edit in progress; an edit left empty is dropped.
    // Without an edit in progress nothing happens. Returns the cell to repaint, or -1.
    int Backspace() {
        if (!active_) return -1;
        const int cell = cell_;
        text_.chop(1);
        if (text_.isEmpty()) Clear();
        return cell;
    }
    // Ends the edit in progress and returns what to write.
    std::optional<Commit> Take() {
        if (!active_) return std::nullopt;
        active_ = false;
        bool ok = false;
        const int value = text_.toInt(&ok, 16);
        return Commit{cell_, ok ? value : 0};
    }
    // Forgets the edit (in progress or committed). Returns the cell to repaint, or -1.
    int Clear() {
        const int cell = cell_;
        cell_ = -1;
        text_.clear();
        active_ = false;
        return cell;
    }

  private:
    int cell_ = -1;
    QString text_;
    bool active_ = false;
};

}  // namespace dmm
