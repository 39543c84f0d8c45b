#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <array>

namespace dmm::gui {

// The hexadecimal keypad: asks for one number of at most as many digits as the maximum
// text has, each digit no larger than the maximum's digit at its position ("3FF": the
// first digit 0..3). The entry is taken as soon as it is full, or by Enter.
class TVzPopSelHex : public QDialog {
    Q_OBJECT
  public:
    explicit TVzPopSelHex(QWidget* parent = nullptr);

    // Readies a new entry: caption, range text, an empty field, top-left corner at
    // topLeft moved left or up as far as needed to keep the window on screen.
    void Prepare(QPoint topLeft, const QString& maxText, const QString& rangeText,
                 const QString& caption);

    bool Accepted() const { return accepted_; }
    // The digits typed, from hexadecimal.
    int Value() const;

    // Whether digit may stand at position of an entry limited by maxText.
    static bool DigitAllowed(QChar digit, int position, const QString& maxText);
    // The top-left corner that keeps a window of size inside screen, moved left or up.
    static QPoint KeepOnScreen(QPoint topLeft, QSize size, const QRect& screen);

    QLineEdit* ENum = nullptr;
    QLabel* PnlStatus = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void Place();
    void AddDigit(QChar digit);
    void EnterClick();
    void ClearClick();
    void CancelClick();

    QString maxText_ = QStringLiteral("FF");
    QPoint requested_;
    bool accepted_ = false;
    std::array<QPushButton*, 16> digits_{};
};

struct HexAnswer {
    bool accepted = false;
    int value = 0;
};

// Shows the keypad modally with its top-left corner at topLeft (global coordinates) and
// returns the number when the user confirmed one.
HexAnswer AskHex(QWidget* parent, QPoint topLeft, const QString& maxText, const QString& rangeText,
                 const QString& caption);

}  // namespace dmm::gui
