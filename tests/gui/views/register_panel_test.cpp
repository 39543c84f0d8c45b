#include <QSignalSpy>
#include <QTest>

#include "gui/views/panel_style.h"
#include "support/qtest_registry.h"
#include "test_chip.h"
#include "views_fixture.h"

namespace dmm::test {

using gui::RegisterValueGridModel;
namespace colour = gui::panel_colour;

// The register panel on the simulated board: what it shows and what each editing path
// sends to the chip.
class RegisterPanelTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<ViewsBench> b_;
    gui::TVz_Reg2* reg_ = nullptr;

    RegisterValueGridModel* ByteModel() { return qobject_cast<RegisterValueGridModel*>(reg_->SByteReg->model()); }
    RegisterValueGridModel* WordModel() { return qobject_cast<RegisterValueGridModel*>(reg_->SWordReg->model()); }
    QColor Background(const QModelIndex& index) { return index.data(Qt::BackgroundRole).value<QBrush>().color(); }
    QString Text(const QModelIndex& index) { return index.data(Qt::DisplayRole).toString(); }
    void DoubleClick(QAbstractItemView* grid, const QModelIndex& index) {
        const QPoint at = grid->visualRect(index).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    void TypeInto(QAbstractItemView* grid, const QModelIndex& index, const char* keys) {
        grid->setFocus();
        grid->setCurrentIndex(index);
        QTest::keyClicks(grid, keys);
    }
    // Loads the chip into the panel with the chip's memory as the register image.
    void LoadChip(std::shared_ptr<const PanelChip> chip) {
        b_->bench().RunAndWait([this](Bench& bench) {
            for (int a = 0; a < kRegisterImageSize; ++a) {
                bench.chip().SetRegImage(a, b_->sim().chip().memory()[static_cast<size_t>(a)]);
            }
            bench.chip().RefreshPanels();
        });
        b_->Settle();
        reg_->SetChip(std::move(chip));
    }

private slots:
    void init() {
        b_ = std::make_unique<ViewsBench>();
        reg_ = &b_->reg();
        b_->Show(*reg_);
    }
    void cleanup() { b_.reset(); }

    void typingIntoAByteCellShowsTheLastTwoDigitsAndEnterWritesThem() {
        LoadChip(TestChip());
        const QModelIndex cell = ByteModel()->ValueIndex(2);  // BYTE2 at 0x32
        QCOMPARE(Text(cell), QString("00"));
        TypeInto(reg_->SByteReg, cell, "123");
        QCOMPARE(Text(cell), QString("23"));
        QVERIFY(DmmWrites(b_->SentFrames()).empty());  // nothing sent before Enter
        QTest::keyClick(reg_->SByteReg, Qt::Key_Return);
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x32, 0x23}}));
        QCOMPARE(b_->ChipByte(0x32), 0x23);
        QCOMPARE(Text(cell), QString("23"));
        QCOMPARE(Background(ByteModel()->NameIndex(2)), colour::kBlue);  // it changed
    }

    void typedEditsEndOnEnterTabOrAnotherCellAndNowhereElse() {
        LoadChip(TestChip());
        RegisterValueGridModel* bytes = ByteModel();
        // Names and cells beyond the last register take no keys.
        TypeInto(reg_->SByteReg, bytes->NameIndex(0), "5");
        TypeInto(reg_->SByteReg, bytes->ValueIndex(15), "5");  // only 11 registers
        QCOMPARE(Text(bytes->ValueIndex(15)), QString());
        // Moving to another cell writes the edit; Tab too.
        TypeInto(reg_->SByteReg, bytes->ValueIndex(0), "a");
        QCOMPARE(Text(bytes->ValueIndex(0)), QString("0A"));
        reg_->SByteReg->setCurrentIndex(bytes->ValueIndex(1));
        QTest::keyClicks(reg_->SByteReg, "7");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Tab);
        // Backspace takes a digit back, Escape drops the edit.
        TypeInto(reg_->SByteReg, bytes->ValueIndex(4), "9");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Backspace);
        QCOMPARE(Text(bytes->ValueIndex(4)), QString("0"));
        QTest::keyClick(reg_->SByteReg, Qt::Key_Escape);
        b_->Settle();
        QCOMPARE(Text(bytes->ValueIndex(4)), QString("00"));
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x30, 0x0A}, {0x31, 0x07}}));
    }

    void aWordEditWritesTheHighByteFirst() {
        LoadChip(TestChip());
        const QModelIndex cell = WordModel()->ValueIndex(0);
        QVERIFY(reg_->SWordReg->isVisible());
        TypeInto(reg_->SWordReg, cell, "91234");
        QCOMPARE(Text(cell), QString("1234"));
        QTest::keyClick(reg_->SWordReg, Qt::Key_Enter);
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x40, 0x12}, {0x41, 0x34}}));
        QCOMPARE(Text(cell), QString("1234"));

        b_->ClearTrace();
        b_->AnswerNextHex("BEEF");
        DoubleClick(reg_->SWordReg, WordModel()->NameIndex(0));
        QCOMPARE(b_->lastHexCaption, QString("RamCNT"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x40, 0xBE}, {0x41, 0xEF}}));
    }

    void bitMenuSetsAndClearsOneBitButNeverAMissingOne() {
        b_->SetChipByte(0x20, 0x00);
        LoadChip(TestChip());
        // Row 0 is ADCON<0x20>; column 1 is bit 7, named "-".
        QAbstractItemModel* bits = reg_->SREG->model();
        QCOMPARE(Text(bits->index(0, 0)), QString("ADCON<0x20>"));
        DoubleClick(reg_->SREG, bits->index(0, 1));
        QVERIFY(!reg_->PMenuBit->isVisible());
        DoubleClick(reg_->SREG, bits->index(0, 8));  // bit 0, also "-"
        QVERIFY(!reg_->PMenuBit->isVisible());

        DoubleClick(reg_->SREG, bits->index(0, 3));  // bit 5, "B5"
        QTRY_VERIFY(reg_->PMenuBit->isVisible());
        QCOMPARE(reg_->PMenuBitSet->text(), QString("B5=1"));
        QCOMPARE(reg_->PMenuBitClear->text(), QString("B5=0"));
        reg_->PMenuBitSet->trigger();
        b_->Settle();
        QCOMPARE(b_->ChipByte(0x20), 0x20);
        QCOMPARE(Background(bits->index(0, 3)), colour::kWhite);  // a set bit: blue on white
        QCOMPARE(bits->index(0, 3).data(Qt::ForegroundRole).value<QBrush>().color(), colour::kBlue);
        QCOMPARE(Background(bits->index(0, 4)), colour::kSilver);

        DoubleClick(reg_->SREG, bits->index(0, 3));
        reg_->PMenuBitClear->trigger();
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x20, 0x20}, {0x20, 0x00}}));

        // A whole-register entry writes bits named "-" too, and the panel still shows them
        // as 0: the mask hides them.
        b_->ClearTrace();
        b_->AnswerNextHex("FF");
        DoubleClick(reg_->SREG, bits->index(0, 0));
        QCOMPARE(b_->lastHexCaption, QString("Ram020=ADCON<0x20>"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x20, 0xFF}}));
        QCOMPARE(Background(bits->index(0, 1)), colour::kSilver);
        QCOMPARE(reg_->state().BitValue(0), 0x7E);
    }

    void afterALoadEveryNonZeroRegisterIsHighlightedUntilTheNextRefresh() {
        b_->SetChipByte(0x21, 0x81);
        b_->SetChipByte(0x33, 0x05);
        b_->SetChipByte(0x41, 0x01);
        LoadChip(TestChip());
        QAbstractItemModel* bits = reg_->SREG->model();
        QCOMPARE(Background(bits->index(0, 0)), colour::kButtonFace);  // ADCON is 0
        QCOMPARE(Background(bits->index(1, 0)), colour::kBlue);        // PCON
        QCOMPARE(bits->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), colour::kWhite);
        QCOMPARE(Background(ByteModel()->NameIndex(3)), colour::kBlue);
        QCOMPARE(Background(ByteModel()->NameIndex(2)), colour::kButtonFace);
        QCOMPARE(Background(WordModel()->NameIndex(0)), colour::kBlue);
        QCOMPARE(Text(ByteModel()->ValueIndex(3)), QString("05"));
        QCOMPARE(Text(WordModel()->ValueIndex(0)), QString("0001"));

        // A write elsewhere refreshes the panel: only that register stays highlighted.
        b_->AnswerNextHex("42");
        DoubleClick(reg_->SByteReg, ByteModel()->NameIndex(0));
        QCOMPARE(b_->lastHexCaption, QString("Ram030=BYTE0"));
        b_->Settle();
        QCOMPARE(Background(bits->index(1, 0)), colour::kButtonFace);
        QCOMPARE(Background(ByteModel()->NameIndex(3)), colour::kButtonFace);
        QCOMPARE(Background(ByteModel()->NameIndex(0)), colour::kBlue);
        QCOMPARE(Text(ByteModel()->ValueIndex(0)), QString("42"));
    }

    void aRefreshRepaintsOnlyWhatChanged() {
        LoadChip(TestChip());
        b_->Settle();
        QSignalSpy byteCells(ByteModel(), &QAbstractItemModel::dataChanged);
        QSignalSpy bitCells(reg_->SREG->model(), &QAbstractItemModel::dataChanged);
        TypeInto(reg_->SByteReg, ByteModel()->ValueIndex(5), "77");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Return);
        b_->Settle();
        QVERIFY(!byteCells.isEmpty());
        for (const QList<QVariant>& call : byteCells) {
            const QModelIndex from = call[0].value<QModelIndex>();
            const QModelIndex to = call[1].value<QModelIndex>();
            QCOMPARE(from, to);                                      // one cell at a time
            QCOMPARE(ByteModel()->EntryAt(from), 5);                 // of BYTE5 only
        }
        QVERIFY(bitCells.isEmpty());
    }

    void pagesShowTheirTabsAndColours() {
        LoadChip(TestChip());
        QCOMPARE(reg_->rkrr(), (std::pair<int, int>{0, 2}));
        QVERIFY(reg_->pageTabs[0]->isVisible());
        QVERIFY(reg_->pageTabs[1]->isVisible());
        QVERIFY(!reg_->pageTabs[2]->isVisible());  // no registers on page 3
        QVERIFY(reg_->pageTabs[3]->isVisible());
        QCOMPARE(reg_->pageTabs[0]->objectName(), QString("PPage1"));
        QCOMPARE(reg_->pageTabs[3]->objectName(), QString("PPAGE4"));
        QCOMPARE(reg_->pageTabs[0]->Background(), colour::kYellow);
        QVERIFY(reg_->pageTabs[0]->Raised());

        QTest::mouseClick(reg_->pageTabs[3], Qt::LeftButton);
        QCOMPARE(reg_->CurrentPage(), 3);
        QCOMPARE(reg_->rkrr(), (std::pair<int, int>{3, 4}));
        QCOMPARE(reg_->SREG->model()->rowCount(), 1);
        QCOMPARE(Text(reg_->SREG->model()->index(0, 0)), QString("INTF<0x23>"));
        QCOMPARE(reg_->pageTabs[3]->Background(), colour::kWhite);
        QVERIFY(!reg_->pageTabs[0]->Raised());
        QCOMPARE(reg_->pageTabs[0]->Background(), colour::kButtonFace);
        QTest::mouseClick(reg_->pageTabs[1], Qt::LeftButton);
        QCOMPARE(reg_->pageTabs[1]->Background(), colour::kGreen);

        // A chip without registers on the current page brings page 1 back.
        auto smaller = TestChip();
        smaller->pageCounts = {3, 0, 0, 1};
        reg_->SetChip(smaller);
        QCOMPARE(reg_->CurrentPage(), 0);
        QVERIFY(!reg_->pageTabs[1]->isVisible());
        QCOMPARE(reg_->windowTitle(), QString("TEST Register"));
    }

    void statusStripEditsTheWorkingRegisterAndTheIndirectPairs() {
        b_->SetChipByte(0x29, 0x3C);
        b_->SetChipByte(0x11, 0x00);
        b_->SetChipByte(0x12, 0x31);  // FSR1 -> BYTE1
        b_->SetChipByte(0x31, 0x66);
        LoadChip(TestChip());
        QCOMPARE(reg_->PnlWork->text(), QString("3C"));
        QCOMPARE(reg_->PnlIND1_1->text(), QString("031"));
        QCOMPARE(reg_->PnlIND1_2->text(), QString("66"));
        QCOMPARE(reg_->PnlPC->text(), QString(" Program Counter: 0"));

        QTest::mouseClick(reg_->PnlWork, Qt::LeftButton);  // on the value: the group's menu
        QTRY_VERIFY(reg_->PMenuReg->isVisible());
        b_->AnswerNextHex("5A");
        reg_->PMenuRegValue->trigger();
        QCOMPARE(b_->lastHexCaption, QString("Work=3C"));
        b_->Settle();
        QCOMPARE(b_->ChipByte(0x29), 0x5A);
        QCOMPARE(reg_->PnlWork->text(), QString("5A"));
        QCOMPARE(reg_->PnlWork->palette().color(QPalette::Window), colour::kBlue);  // changed

        QTest::mouseClick(reg_->PnlIND1_B, Qt::LeftButton);
        QTRY_VERIFY(reg_->PMenuIND->isVisible());
        QCOMPARE(reg_->PMenuINDAddress->text(), QString("Modify FSR1"));
        b_->AnswerNextHex("77");
        reg_->PMenuINDValue->trigger();
        QCOMPARE(b_->lastHexCaption, QString("IND1=66"));
        b_->Settle();
        QCOMPARE(b_->ChipByte(0x31), 0x77);

        b_->ClearTrace();
        b_->AnswerNextHex("123");
        reg_->PMenuINDAddress->trigger();
        QCOMPARE(b_->lastHexCaption, QString("FSR1=031"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x11, 0x01}, {0x12, 0x23}}));
        QCOMPARE(reg_->PnlIND1_1->text(), QString("123"));

        // The program counter's menu item does nothing.
        b_->ClearTrace();
        QTest::mouseClick(reg_->PnlPC, Qt::LeftButton);
        reg_->PMenuRegValue->trigger();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        b_->Settle();
        QVERIFY(b_->SentFrames().empty());
    }
};

DMM_QTEST(RegisterPanelTest);

}  // namespace dmm::test

#include "register_panel_test.moc"
