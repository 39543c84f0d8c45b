#include <QSignalSpy>
#include <QTest>

#include "gui/views/panel_style.h"
#include "support/qtest_registry.h"
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

    RegisterValueGridModel* ByteModel() {
        return qobject_cast<RegisterValueGridModel*>(reg_->SByteReg->model());
    }
    RegisterValueGridModel* WordModel() {
        return qobject_cast<RegisterValueGridModel*>(reg_->SWordReg->model());
    }
    QAbstractItemModel* Bits() { return reg_->SREG->model(); }
    QColor Background(const QModelIndex& index) {
        return index.data(Qt::BackgroundRole).value<QBrush>().color();
    }
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
    // Index of a register in the loaded chip's byte list.
    int Byte(const char* name) {
        const auto& list = reg_->state().chip()->byteRegisters;
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i].name == QLatin1String(name)) return static_cast<int>(i);
        }
        qFatal("no byte register %s", name);
    }
    // Row of a bit register on the current page.
    int BitRow(const char* name) {
        for (int row = 0; row < Bits()->rowCount(); ++row) {
            if (Text(Bits()->index(row, 0)).startsWith(QLatin1String(name) + "<")) return row;
        }
        qFatal("no bit register %s on this page", name);
    }

    // A description with bit registers on pages 1, 2 and 4 only.
    static QByteArray PagesDescription() {
        return "#PRODUCT\r\nPAGES\r\n#REG0\r\n000H 03FH\r\n"
               "#REGBIT\r\n020H ADCON - B6 B5 B4 B3 B2 B1 -\r\n022H INTE E7 E6 E5 E4 E3 E2 E1 "
               "E0\r\n"
               "#REGBIT1\r\n021H PCON P7 P6 P5 P4 P3 P2 P1 P0\r\n"
               "#REGBIT3\r\n023H INTF F7 F6 F5 F4 F3 F2 F1 F0\r\n"
               "#REGBYTE\r\n030H BYTE0 0FFH\r\n#REGWORD\r\n";
    }

  private slots:
    void init() {
        b_ = std::make_unique<ViewsBench>();
        reg_ = &b_->reg();
        b_->Show(*reg_);
    }
    void cleanup() { b_.reset(); }

    void typingIntoAByteCellShowsTheLastTwoDigitsAndEnterWritesThem() {
        const int vrtrim = Byte("VRTRIM");  // 0x22
        const QModelIndex cell = ByteModel()->ValueIndex(vrtrim);
        QCOMPARE(Text(cell), QString("00"));
        TypeInto(reg_->SByteReg, cell, "123");
        QCOMPARE(Text(cell), QString("23"));
        b_->Settle();
        QVERIFY(DmmWrites(b_->SentFrames()).empty());  // nothing sent before Enter
        QTest::keyClick(reg_->SByteReg, Qt::Key_Return);
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x22, 0x23}}));
        QCOMPARE(b_->ChipByte(0x22), 0x23);
        QCOMPARE(Text(cell), QString("23"));
        QCOMPARE(Background(ByteModel()->NameIndex(vrtrim)), colour::kBlue);  // it changed
    }

    void typedEditsEndOnEnterTabOrAnotherCellAndNowhereElse() {
        RegisterValueGridModel* bytes = ByteModel();
        const int count = bytes->Count();
        QCOMPARE(count, 35);
        // Names and cells beyond the last register take no keys.
        TypeInto(reg_->SByteReg, bytes->NameIndex(Byte("VRTRIM")), "5");
        TypeInto(reg_->SByteReg, bytes->ValueIndex(count), "5");
        QCOMPARE(Text(bytes->ValueIndex(count)), QString());
        // Moving to another cell writes the edit; Tab too.
        TypeInto(reg_->SByteReg, bytes->ValueIndex(Byte("VRTRIM")), "a");
        QCOMPARE(Text(bytes->ValueIndex(Byte("VRTRIM"))), QString("0A"));
        reg_->SByteReg->setCurrentIndex(bytes->ValueIndex(Byte("IBTRIM")));
        QTest::keyClicks(reg_->SByteReg, "7");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Tab);
        // Backspace takes a digit back, Escape drops the edit.
        TypeInto(reg_->SByteReg, bytes->ValueIndex(Byte("TMODE")), "9");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Backspace);
        QCOMPARE(Text(bytes->ValueIndex(Byte("TMODE"))), QString("0"));
        QTest::keyClick(reg_->SByteReg, Qt::Key_Escape);
        b_->Settle();
        QCOMPARE(Text(bytes->ValueIndex(Byte("TMODE"))), QString("00"));
        QCOMPARE(DmmWrites(b_->SentFrames()),
                 (std::vector<std::pair<int, int>>{{0x22, 0x0A}, {0x23, 0x07}}));
    }

    void aWordEditWritesTheHighByteFirst() {
        const QModelIndex cell = WordModel()->ValueIndex(0);  // CPT: high 0x42, low 0x41
        QVERIFY(reg_->SWordReg->isVisible());
        QCOMPARE(Text(WordModel()->NameIndex(0)), QString("CPT"));
        TypeInto(reg_->SWordReg, cell, "91234");
        QCOMPARE(Text(cell), QString("1234"));
        QTest::keyClick(reg_->SWordReg, Qt::Key_Enter);
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()),
                 (std::vector<std::pair<int, int>>{{0x42, 0x12}, {0x41, 0x34}}));
        QCOMPARE(Text(cell), QString("1234"));

        b_->ClearTrace();
        b_->AnswerNextHex("BEEF");
        DoubleClick(reg_->SWordReg, WordModel()->NameIndex(0));
        QCOMPARE(b_->lastHexCaption, QString("RamCPT"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()),
                 (std::vector<std::pair<int, int>>{{0x42, 0xBE}, {0x41, 0xEF}}));
        QCOMPARE(Text(cell), QString("BEEF"));
    }

    void bitMenuSetsAndClearsOneBitButNeverAMissingOne() {
        const int row = BitRow("AD1IS");  // 0x24: bit 7 is "-"
        QCOMPARE(Text(Bits()->index(row, 0)), QString("AD1IS<0x24>"));
        QCOMPARE(Text(Bits()->index(row, 1)), QString("-"));
        DoubleClick(reg_->SREG, Bits()->index(row, 1));
        QVERIFY(!reg_->PMenuBit->isVisible());
        b_->Settle();
        QVERIFY(DmmWrites(b_->SentFrames()).empty());

        DoubleClick(reg_->SREG, Bits()->index(row, 3));  // bit 5, S_AD1IN1
        QTRY_VERIFY(reg_->PMenuBit->isVisible());
        QCOMPARE(reg_->PMenuBitSet->text(), QString("S_AD1IN1=1"));
        QCOMPARE(reg_->PMenuBitClear->text(), QString("S_AD1IN1=0"));
        reg_->PMenuBitSet->trigger();
        b_->Settle();
        QCOMPARE(b_->ChipByte(0x24), 0x20);
        QCOMPARE(Background(Bits()->index(row, 3)), colour::kWhite);  // a set bit: blue on white
        QCOMPARE(Bits()->index(row, 3).data(Qt::ForegroundRole).value<QBrush>().color(),
                 colour::kBlue);
        QCOMPARE(Background(Bits()->index(row, 4)), colour::kSilver);

        DoubleClick(reg_->SREG, Bits()->index(row, 3));
        reg_->PMenuBitClear->trigger();
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()),
                 (std::vector<std::pair<int, int>>{{0x24, 0x20}, {0x24, 0x00}}));

        // A whole-register entry writes all eight bits; the panel still shows the missing
        // one as 0.
        b_->ClearTrace();
        b_->AnswerNextHex("FF");
        DoubleClick(reg_->SREG, Bits()->index(row, 0));
        QCOMPARE(b_->lastHexCaption, QString("Ram024=AD1IS<0x24>"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x24, 0xFF}}));
        QCOMPARE(Background(Bits()->index(row, 1)), colour::kSilver);
        QCOMPARE(Background(Bits()->index(row, 2)), colour::kWhite);
        QCOMPARE(reg_->state().BitValue(reg_->rkrr().first + row), 0x7F);
    }

    void afterALoadEveryNonZeroRegisterIsHighlightedUntilTheNextRefresh() {
        b_->SetChipByte(0x22, 0x81);  // VRTRIM
        b_->SetChipByte(0x24, 0x05);  // AD1IS
        TypeInto(reg_->SWordReg, WordModel()->ValueIndex(0),
                 "0001");  // CPT, beyond what Read RAM reads
        QTest::keyClick(reg_->SWordReg, Qt::Key_Return);
        b_->ReadRam();
        b_->LoadChip(0, "VZ6401");
        const int ad1is = BitRow("AD1IS");
        const int ad1cn0 = BitRow("AD1CN0");
        QCOMPARE(Background(Bits()->index(ad1is, 0)), colour::kBlue);
        QCOMPARE(Bits()->index(ad1is, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                 colour::kWhite);
        QCOMPARE(Background(Bits()->index(ad1cn0, 0)), colour::kButtonFace);  // 0
        QCOMPARE(Background(ByteModel()->NameIndex(Byte("VRTRIM"))), colour::kBlue);
        QCOMPARE(Background(ByteModel()->NameIndex(Byte("IBTRIM"))), colour::kButtonFace);
        QCOMPARE(Background(WordModel()->NameIndex(0)), colour::kBlue);
        QCOMPARE(Text(ByteModel()->ValueIndex(Byte("VRTRIM"))), QString("81"));
        QCOMPARE(Text(WordModel()->ValueIndex(0)), QString("0001"));
        for (int n = 0; n < ByteModel()->Count(); ++n) {
            const bool nonZero = Text(ByteModel()->ValueIndex(n)) != QLatin1String("00");
            QCOMPARE(Background(ByteModel()->NameIndex(n)) == colour::kBlue, nonZero);
        }

        // A write elsewhere refreshes the panel: only that register stays highlighted.
        b_->AnswerNextHex("42");
        DoubleClick(reg_->SByteReg, ByteModel()->NameIndex(Byte("IBTRIM")));
        QCOMPARE(b_->lastHexCaption, QString("Ram023=IBTRIM"));
        b_->Settle();
        QCOMPARE(Background(Bits()->index(ad1is, 0)), colour::kButtonFace);
        QCOMPARE(Background(ByteModel()->NameIndex(Byte("VRTRIM"))), colour::kButtonFace);
        QCOMPARE(Background(ByteModel()->NameIndex(Byte("IBTRIM"))), colour::kBlue);
        QCOMPARE(Text(ByteModel()->ValueIndex(Byte("IBTRIM"))), QString("42"));
    }

    void aRefreshRepaintsOnlyWhatChanged() {
        QSignalSpy byteCells(ByteModel(), &QAbstractItemModel::dataChanged);
        QSignalSpy bitCells(Bits(), &QAbstractItemModel::dataChanged);
        QSignalSpy wordCells(WordModel(), &QAbstractItemModel::dataChanged);
        const int ibtrim = Byte("IBTRIM");
        TypeInto(reg_->SByteReg, ByteModel()->ValueIndex(ibtrim), "77");
        QTest::keyClick(reg_->SByteReg, Qt::Key_Return);
        b_->Settle();
        QVERIFY(!byteCells.isEmpty());
        for (const QList<QVariant>& call : byteCells) {
            const QModelIndex from = call[0].value<QModelIndex>();
            const QModelIndex to = call[1].value<QModelIndex>();
            QCOMPARE(from, to);                            // one cell at a time
            QCOMPARE(ByteModel()->EntryAt(from), ibtrim);  // of IBTRIM only
        }
        QVERIFY(bitCells.isEmpty());
        QVERIFY(wordCells.isEmpty());
    }

    void pagesShowTheirTabsAndColours() {
        for (int p = 0; p < 4; ++p) QVERIFY(reg_->pageTabs[static_cast<size_t>(p)]->isVisible());
        QCOMPARE(reg_->pageTabs[0]->objectName(), QString("PPage1"));
        QCOMPARE(reg_->pageTabs[3]->objectName(), QString("PPAGE4"));
        QCOMPARE(reg_->pageTabs[0]->Background(), colour::kYellow);
        QVERIFY(reg_->pageTabs[0]->Raised());
        QCOMPARE(reg_->rkrr(), (std::pair<int, int>{0, 9}));

        QTest::mouseClick(reg_->pageTabs[3], Qt::LeftButton);
        QCOMPARE(reg_->CurrentPage(), 3);
        QCOMPARE(reg_->rkrr(), (std::pair<int, int>{23, 24}));
        QCOMPARE(Bits()->rowCount(), 1);
        QCOMPARE(Text(Bits()->index(0, 0)), QString("INTF<0x14>"));
        QCOMPARE(reg_->pageTabs[3]->Background(), colour::kWhite);
        QVERIFY(!reg_->pageTabs[0]->Raised());
        QCOMPARE(reg_->pageTabs[0]->Background(), colour::kButtonFace);
        QTest::mouseClick(reg_->pageTabs[1], Qt::LeftButton);
        QCOMPARE(reg_->pageTabs[1]->Background(), colour::kGreen);
        QTest::mouseClick(reg_->pageTabs[2], Qt::LeftButton);
        QCOMPARE(reg_->pageTabs[2]->Background(), colour::kRed);

        // A chip without registers on the current page (3) brings page 1 back and keeps
        // page 3's tab hidden.
        b_->LoadChip(b_->AddDescription("PAGES.INC", PagesDescription()), "PAGES");
        QCOMPARE(reg_->CurrentPage(), 0);
        QVERIFY(reg_->pageTabs[0]->isVisible());
        QVERIFY(reg_->pageTabs[1]->isVisible());
        QVERIFY(!reg_->pageTabs[2]->isVisible());
        QVERIFY(reg_->pageTabs[3]->isVisible());
        QCOMPARE(Bits()->rowCount(), 2);
        QVERIFY(!reg_->SWordReg->isVisible());  // its word list is empty
        QCOMPARE(reg_->windowTitle(), QString("PAGES Register"));
    }

    void statusStripEditsTheWorkingRegisterAndTheIndirectPairs() {
        b_->SetChipByte(0x29, 0x3C);  // MODE on this chip
        b_->ReadRam();
        QCOMPARE(reg_->PnlWork->text(), QString("3C"));
        QCOMPARE(reg_->PnlIND1_1->text(), QString("000"));
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
        b_->ClearTrace();
        b_->AnswerNextHex("123");
        reg_->PMenuINDAddress->trigger();
        QCOMPARE(b_->lastHexCaption, QString("FSR1=000"));
        b_->Settle();
        QCOMPARE(DmmWrites(b_->SentFrames()),
                 (std::vector<std::pair<int, int>>{{0x11, 0x01}, {0x12, 0x23}}));

        // The value behind the pointer: FSR1 = 0x000 here, the chip's first register.
        QTest::mouseClick(reg_->PnlIND1_B, Qt::LeftButton);
        b_->ClearTrace();
        b_->AnswerNextHex("\x1b");
        reg_->PMenuINDValue->trigger();
        QCOMPARE(b_->lastHexCaption, QString("IND1=") + reg_->PnlIND1_2->text());
        b_->Settle();
        QVERIFY(b_->SentFrames().empty());  // cancelled

        // The program counter's menu item does nothing.
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
