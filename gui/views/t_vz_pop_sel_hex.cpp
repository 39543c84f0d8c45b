#include "gui/views/t_vz_pop_sel_hex.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "core/link/number_text.h"

namespace dmm::gui {
namespace {

constexpr int kMargin = 8;
constexpr int kGap = 4;
constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 30;

int HexDigitValue(QChar c) {
    const char16_t u = c.toUpper().unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

}  // namespace

TVzPopSelHex::TVzPopSelHex(QWidget* parent) : QDialog(parent) {
    setObjectName("TVzPopSelHex");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    FormCreate();
}

void TVzPopSelHex::FormCreate() {
    QFont font(QStringLiteral("Courier New"), 11, QFont::Bold);
    font.setStyleHint(QFont::TypeWriter);

    ENum = new QLineEdit(this);
    ENum->setObjectName("ENum");
    ENum->setFont(font);
    // Only the keypad rules change the text: no typing over, pasting, dropping or
    // input-method text reaches the field.
    ENum->setReadOnly(true);
    ENum->setContextMenuPolicy(Qt::NoContextMenu);
    ENum->setAcceptDrops(false);
    ENum->setAttribute(Qt::WA_InputMethodEnabled, false);
    ENum->setAlignment(Qt::AlignRight);
    ENum->installEventFilter(this);
    const int width = 4 * kButtonWidth;
    ENum->setGeometry(kMargin, kMargin, width, kButtonHeight);

    PnlStatus = new QLabel(this);
    PnlStatus->setObjectName("PnlStatus");
    PnlStatus->hide();

    auto makeButton = [this, &font](const QString& text, const QString& name, QRect geometry) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setFont(font);
        button->setFocusPolicy(Qt::NoFocus);  // keys keep going to the field
        button->setAutoDefault(false);
        button->setGeometry(geometry);
        return button;
    };
    const int digitsTop = ENum->geometry().bottom() + 1 + kGap;
    for (int d = 0; d < 16; ++d) {
        const QChar digit = QChar(u"0123456789ABCDEF"[d]);
        const QRect at(kMargin + (d % 4) * kButtonWidth, digitsTop + (d / 4) * kButtonHeight,
                       kButtonWidth, kButtonHeight);
        QPushButton* button = makeButton(QString(digit), QStringLiteral("Btn%1").arg(digit), at);
        connect(button, &QPushButton::clicked, this, [this, digit] { AddDigit(digit); });
        digits_[static_cast<size_t>(d)] = button;
    }
    const int enterTop = digitsTop + 4 * kButtonHeight;
    QPushButton* enter = makeButton(QStringLiteral("Enter"), QStringLiteral("BtnEnter"),
                                    QRect(kMargin, enterTop, width, kButtonHeight));
    const int lastTop = enterTop + kButtonHeight + kGap;
    QPushButton* clear = makeButton(QStringLiteral("Clear"), QStringLiteral("BtnClear"),
                                    QRect(kMargin, lastTop, 2 * kButtonWidth, kButtonHeight));
    QPushButton* cancel =
        makeButton(QStringLiteral("Cancel"), QStringLiteral("BtnCancel"),
                   QRect(kMargin + 2 * kButtonWidth, lastTop, 2 * kButtonWidth, kButtonHeight));
    connect(enter, &QPushButton::clicked, this, &TVzPopSelHex::EnterClick);
    connect(clear, &QPushButton::clicked, this, &TVzPopSelHex::ClearClick);
    connect(cancel, &QPushButton::clicked, this, &TVzPopSelHex::CancelClick);

    setFixedSize(kMargin + width + kMargin, lastTop + kButtonHeight + kMargin);
}

bool TVzPopSelHex::DigitAllowed(QChar digit, int position, const QString& maxText) {
    if (position < 0 || position >= maxText.size()) return false;
    const int value = HexDigitValue(digit);
    return value >= 0 && value <= HexDigitValue(maxText[position]);
}

QPoint TVzPopSelHex::KeepOnScreen(QPoint topLeft, QSize size, const QRect& screen) {
    QPoint p = topLeft;
    if (p.x() + size.width() > screen.x() + screen.width())
        p.setX(screen.x() + screen.width() - size.width());
    if (p.y() + size.height() > screen.y() + screen.height())
        p.setY(screen.y() + screen.height() - size.height());
    p.setX(std::max(p.x(), screen.x()));
    p.setY(std::max(p.y(), screen.y()));
    return p;
}

void TVzPopSelHex::Prepare(QPoint topLeft, const QString& maxText, const QString& rangeText,
                           const QString& caption) {
    maxText_ = maxText;
    accepted_ = false;
    setWindowTitle(caption);
    PnlStatus->setText(rangeText);
    ENum->setText(QString());
    requested_ = topLeft;
    Place();
    ENum->setFocus();
}

void TVzPopSelHex::Place() {
    QScreen* screen = QGuiApplication::screenAt(requested_);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    move(KeepOnScreen(requested_, frameGeometry().size().expandedTo(size()),
                      screen->availableGeometry()));
}

void TVzPopSelHex::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Place();  // the frame's size is known only now
}

int TVzPopSelHex::Value() const {
    return static_cast<int>(HexText(ENum->text().toStdString()));
}

void TVzPopSelHex::AddDigit(QChar digit) {
    digit = digit.toUpper();
    const QString text = ENum->text();
    if (!DigitAllowed(digit, static_cast<int>(text.size()), maxText_)) return;
    ENum->setText(text + digit);
    ENum->end(false);
    if (ENum->text().size() >= maxText_.size()) {
        accepted_ = true;
        accept();
    }
}

void TVzPopSelHex::EnterClick() {
    accepted_ = !ENum->text().isEmpty();
    if (accepted_)
        accept();
    else
        reject();
}

void TVzPopSelHex::ClearClick() {
    ENum->setText(QString());
}

void TVzPopSelHex::CancelClick() {
    accepted_ = false;
    reject();
}

bool TVzPopSelHex::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ENum) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // no application shortcut steals a key from the keypad
        return true;
    }
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            EnterClick();
            return true;
        case Qt::Key_Escape:
            CancelClick();
            return true;
        case Qt::Key_Backspace:
            ENum->setText(ENum->text().chopped(std::min<qsizetype>(1, ENum->text().size())));
            return true;
        default:
            break;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return true;
    const QString text = key->text();
    if (text.size() == 1 && HexDigitValue(text[0]) >= 0) AddDigit(text[0]);
    return true;  // every other key is swallowed
}

HexAnswer AskHex(QWidget* parent, QPoint topLeft, const QString& maxText, const QString& rangeText,
                 const QString& caption) {
    TVzPopSelHex popup(parent);
    popup.Prepare(topLeft, maxText, rangeText, caption);
    popup.exec();
    return {popup.Accepted(), popup.Accepted() ? popup.Value() : 0};
}

}  // namespace dmm::gui
