#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "gui/views/t_vz_pop_sel_hex.h"
#include "support/qtest_registry.h"

namespace dmm::test {

using gui::TVzPopSelHex;

// The hexadecimal keypad, driven by keys and buttons as a user would.
class HexPopupTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TVzPopSelHex> popup_;

    TVzPopSelHex& Open(const QString& maximum, QPoint at = {100, 100}) {
        popup_ = std::make_unique<TVzPopSelHex>();
        popup_->Prepare(at, maximum, "range", "caption");
        popup_->show();
        return *popup_;
    }
    QPushButton* Button(const char* name) { return popup_->findChild<QPushButton*>(name); }
    QPushButton* Digit(int d) {
        return popup_->findChild<QPushButton*>(QStringLiteral("Btn") +
                                               QString::number(d, 16).toUpper());
    }

  private slots:
    void fullEntryIsTakenWithoutEnter() {
        TVzPopSelHex& p = Open("FF");
        QTest::keyClicks(p.ENum, "7a");
        QVERIFY(!p.isVisible());
        QVERIFY(p.Accepted());
        QCOMPARE(p.Value(), 0x7A);
        QCOMPARE(p.ENum->text(), QString("7A"));
    }

    void enterTakesAShortEntryAndEmptyEnterTakesNothing() {
        TVzPopSelHex& p = Open("FFF");
        QTest::keyClick(p.ENum, Qt::Key_1);
        QVERIFY(p.isVisible());
        QTest::keyClick(p.ENum, Qt::Key_Return);
        QVERIFY(!p.isVisible());
        QVERIFY(p.Accepted());
        QCOMPARE(p.Value(), 0x1);

        TVzPopSelHex& q = Open("FF");
        QTest::keyClick(q.ENum, Qt::Key_Enter);
        QVERIFY(!q.isVisible());
        QVERIFY(!q.Accepted());
    }

    void eachPositionAllowsDigitsUpToTheMaximumsDigit() {
        QVERIFY(TVzPopSelHex::DigitAllowed('3', 0, "3FF"));
        QVERIFY(!TVzPopSelHex::DigitAllowed('4', 0, "3FF"));
        QVERIFY(TVzPopSelHex::DigitAllowed('f', 1, "3FF"));
        QVERIFY(!TVzPopSelHex::DigitAllowed('0', 3, "3FF"));  // beyond the length
        QVERIFY(!TVzPopSelHex::DigitAllowed('G', 0, "FF"));

        TVzPopSelHex& p = Open("1F");
        QTest::keyClicks(p.ENum, "2");  // too large for the first position
        QCOMPARE(p.ENum->text(), QString());
        QTest::keyClicks(p.ENum, "1g");  // g is no digit
        QCOMPARE(p.ENum->text(), QString("1"));
        QTest::keyClicks(p.ENum, "e");
        QVERIFY(p.Accepted());
        QCOMPARE(p.Value(), 0x1E);
    }

    void backspaceClearEscapeAndOtherKeys() {
        TVzPopSelHex& p = Open("FFFF");
        QTest::keyClicks(p.ENum, "ab");
        QTest::keyClick(p.ENum, Qt::Key_Backspace);
        QCOMPARE(p.ENum->text(), QString("A"));
        for (Qt::Key key :
             {Qt::Key_Left, Qt::Key_Delete, Qt::Key_Home, Qt::Key_Space, Qt::Key_Minus}) {
            QTest::keyClick(p.ENum, key);
        }
        QTest::keyClick(p.ENum, Qt::Key_V, Qt::ControlModifier);  // no pasting
        QCOMPARE(p.ENum->text(), QString("A"));
        Button("BtnClear")->click();
        QCOMPARE(p.ENum->text(), QString());
        Button("Btn9")->click();
        Button("BtnC")->click();
        QCOMPARE(p.ENum->text(), QString("9C"));
        QTest::keyClick(p.ENum, Qt::Key_Escape);
        QVERIFY(!p.isVisible());
        QVERIFY(!p.Accepted());

        TVzPopSelHex& q = Open("FF");
        Button("Btn5")->click();
        Button("BtnCancel")->click();
        QVERIFY(!q.Accepted());
        TVzPopSelHex& r = Open("FF");
        Button("Btn5")->click();
        Button("BtnEnter")->click();
        QVERIFY(r.Accepted());
        QCOMPARE(r.Value(), 5);
    }

    void keypadLayout() {
        TVzPopSelHex& p = Open("FF");
        QCOMPARE(p.PnlStatus->text(), QString("range"));
        QVERIFY(p.PnlStatus->isHidden());
        QCOMPARE(p.windowTitle(), QString("caption"));
        const QRect edit = p.ENum->geometry();
        const QRect zero = Button("Btn0")->geometry();
        QCOMPARE(zero.top(), edit.bottom() + 1 + 4);
        QCOMPARE(zero.left(), edit.left());
        for (int d = 1; d < 16; ++d) {
            const QRect b = Digit(d)->geometry();
            const QRect left = Digit(d - 1)->geometry();
            if (d % 4 != 0) {
                QCOMPARE(b.left(), left.right() + 1);  // right of its left neighbour
                QCOMPARE(b.top(), left.top());
            } else {
                QCOMPARE(b.left(), zero.left());
                QCOMPARE(b.top(), left.bottom() + 1);  // directly below the row above
            }
        }
        const QRect enter = Button("BtnEnter")->geometry();
        const QRect f = Button("BtnF")->geometry();
        QCOMPARE(enter.left(), zero.left());
        QCOMPARE(enter.width(), 4 * zero.width());
        QCOMPARE(enter.top(), f.bottom() + 1);
        QCOMPARE(edit.width(), enter.width());
        const QRect clear = Button("BtnClear")->geometry();
        const QRect cancel = Button("BtnCancel")->geometry();
        QCOMPARE(clear.top(), enter.bottom() + 1 + 4);
        QCOMPARE(clear.width(), 2 * zero.width());
        QCOMPARE(cancel.left(), clear.right() + 1);
        QCOMPARE(cancel.top(), clear.top());
        QCOMPARE(p.width(), enter.right() + 1 + 8);
        QCOMPARE(p.height(), cancel.bottom() + 1 + 8);
        QCOMPARE(zero.left(), 8);
        QCOMPARE(edit.top(), 8);
    }

    void staysOnScreen() {
        const QRect screen(0, 0, 1000, 700);
        const QSize size(180, 250);
        QCOMPARE(TVzPopSelHex::KeepOnScreen({950, 100}, size, screen), QPoint(820, 100));
        QCOMPARE(TVzPopSelHex::KeepOnScreen({100, 690}, size, screen), QPoint(100, 450));
        QCOMPARE(TVzPopSelHex::KeepOnScreen({-20, -5}, size, screen), QPoint(0, 0));
        QCOMPARE(TVzPopSelHex::KeepOnScreen({300, 200}, size, screen), QPoint(300, 200));

        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        TVzPopSelHex& p = Open("FF", QPoint(available.right() - 10, available.top() + 10));
        QVERIFY(p.frameGeometry().right() <= available.right());
        QCOMPARE(p.pos().y(), available.top() + 10);
    }

    void askHexReturnsTheValueOnlyWhenConfirmed() {
        QTimer::singleShot(0, [] {
            auto* popup = qobject_cast<TVzPopSelHex*>(QApplication::activeModalWidget());
            QVERIFY(popup);
            QTest::keyClicks(popup->ENum, "12");
            QTest::keyClick(popup->ENum, Qt::Key_Return);
        });
        gui::HexAnswer answer = gui::AskHex(nullptr, {50, 50}, "FFFF", "0000~FFFF", "Ram");
        QVERIFY(answer.accepted);
        QCOMPARE(answer.value, 0x12);
        QTimer::singleShot(0, [] {
            auto* popup = qobject_cast<TVzPopSelHex*>(QApplication::activeModalWidget());
            QVERIFY(popup);
            QTest::keyClicks(popup->ENum, "3");
            QTest::keyClick(popup->ENum, Qt::Key_Escape);
        });
        answer = gui::AskHex(nullptr, {50, 50}, "FF", "00~FF", "Ram");
        QVERIFY(!answer.accepted);
    }
};

DMM_QTEST(HexPopupTest);

}  // namespace dmm::test

#include "hex_popup_test.moc"
