#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/resource.h>
#include <csignal>

#include "gui/views/panel_style.h"
#include "support/qtest_registry.h"
#include "views_fixture.h"

namespace dmm::test {

namespace colour = gui::panel_colour;

// The RAM panel on the simulated board: banks, byte edits, marks, hints, .ram files and
// the workbook export.
class RamPanelTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<ViewsBench> b_;
    gui::TVz_RAM* ram_ = nullptr;

    QAbstractItemModel* Grid() { return ram_->SGD->model(); }
    QModelIndex Cell(int cell) { return Grid()->index(cell / 16, cell % 16); }
    QString Text(int cell) { return Cell(cell).data(Qt::DisplayRole).toString(); }
    QColor Background(int cell) {
        return Cell(cell).data(Qt::BackgroundRole).value<QBrush>().color();
    }
    void DoubleClick(int cell) {
        const QPoint at = ram_->SGD->visualRect(Cell(cell)).center();
        QTest::mouseClick(ram_->SGD->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(ram_->SGD->viewport(), Qt::LeftButton, {}, at);
    }
    void Type(int cell, const char* keys) {
        ram_->SGD->setFocus();
        ram_->SGD->setCurrentIndex(Cell(cell));
        QTest::keyClicks(ram_->SGD, keys);
    }
    // Right click on a cell and choose a menu item.
    void Menu(int cell, QAction* item) {
        const QPoint at = ram_->SGD->visualRect(Cell(cell)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                ram_->SGD->viewport()->mapToGlobal(at));
        QApplication::sendEvent(ram_->SGD->viewport(), &event);
        QTRY_VERIFY(ram_->PMenuRAM->isVisible());
        item->trigger();
        ram_->PMenuRAM->hide();
    }
    // The dialog of that type the panel has open, once it is shown (nullptr after 5 s).
    template <typename Dialog>
    Dialog* OpenDialog() {
        Dialog* found = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] { return (found = ram_->findChild<Dialog*>()) != nullptr && found->isVisible(); });
        return shown ? found : nullptr;
    }
    void AnswerBox(QMessageBox::StandardButton answer, const QString& expectedText) {
        auto* box = OpenDialog<QMessageBox>();
        QVERIFY(box);
        QCOMPARE(box->text(), expectedText);
        box->button(answer)->click();
        QTRY_VERIFY(ram_->findChild<QMessageBox*>() == nullptr);
    }
    RegisterImageBytes BenchImage() {
        RegisterImageBytes image{};
        b_->bench().RunAndWait([&](Bench& b) { image = b.target().RegisterImage; });
        return image;
    }
    // A chip with RAM banks 0, 1 and 4 (bank 4 defined over 0x300..0x3FF).
    int AddBanksChip() {
        return b_->AddDescription(
            "BANKS.INC",
            "#PRODUCT\r\nBANKS\r\n#REG0\r\n000H 03FH\r\n#RAMBANK0\r\n080H 0FFH\r\n"
            "#RAMBANK1\r\n100H 1FFH\r\n#RAMBANK4\r\n300H 3FFH\r\n"
            "#REGBYTE\r\n030H BYTE0 0FFH\r\n");
    }

  private slots:
    void init() {
        // The SPI kind carries every address of the chip; the DMM kind only 0x00..0x7F.
        b_ = std::make_unique<ViewsBench>(InterfaceKind::SPI);
        ram_ = &b_->ram();
        b_->Show(*ram_);
    }
    void cleanup() { b_.reset(); }

    void bankOneRowTwoColumnThreeIsAddress112() {
        b_->LoadChip(AddBanksChip(), "BANKS");
        QVERIFY(ram_->bankTabs[1]->isVisible());
        QTest::mouseClick(ram_->bankTabs[1], Qt::LeftButton);
        QCOMPARE(ram_->CurrentBank(), 1);
        QCOMPARE(Grid()->headerData(0, Qt::Vertical).toString(), QString("100"));
        QCOMPARE(Grid()->headerData(15, Qt::Vertical).toString(), QString("1F0"));
        QCOMPARE(Grid()->headerData(10, Qt::Horizontal).toString(), QString("A"));
        QCOMPARE(ram_->bankTabs[1]->Background(), colour::kYellow);
        QVERIFY(ram_->bankTabs[1]->Raised());
        QCOMPARE(ram_->bankTabs[0]->Background(), colour::kButtonFace);

        const int cell = (2 - 1) * 16 + (3 - 1);  // grid row 2, column 3
        b_->AnswerNextHex("5C");
        DoubleClick(cell);
        QCOMPARE(b_->lastHexCaption, QString("Ram0112=00"));
        b_->Settle();
        QCOMPARE(SpiWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x112, 0x5C}}));

        b_->ClearTrace();
        Type(cell, "7");
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        b_->Settle();
        QCOMPARE(SpiWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x112, 0x07}}));
    }

    void typedDigitsShowAtOnceAndChangesStayHighlightedForOneRefresh() {
        // The demo chip's user RAM, 0x50..0x6F, in bank 0.
        const int cell = 0x51;
        Type(cell, "4b");
        QCOMPARE(Text(cell), QString("4B"));
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        b_->Settle();
        QCOMPARE(SpiWrites(b_->SentFrames()), (std::vector<std::pair<int, int>>{{0x51, 0x4B}}));
        QCOMPARE(b_->ChipByte(0x51), 0x4B);
        QCOMPARE(Text(cell), QString("4B"));
        QCOMPARE(Background(cell), colour::kBlue);
        QCOMPARE(Cell(cell).data(Qt::ForegroundRole).value<QBrush>().color(), colour::kWhite);

        b_->AnswerNextHex("C3");
        DoubleClick(0x52);
        QCOMPARE(b_->lastHexCaption, QString("Ram0052=00"));
        b_->Settle();
        QCOMPARE(Text(0x52), QString("C3"));
        QCOMPARE(Background(0x52), colour::kBlue);
        QCOMPARE(Background(cell), colour::kWhite);  // unchanged by this refresh
        // Showing the window again draws afresh.
        b_->panel().ShowChild(ram_, -1, false);
        b_->Show(*ram_);
        QCOMPARE(Background(0x52), colour::kWhite);
    }

    void theDmmInterfaceCannotCarryRamAddresses() {
        b_ = std::make_unique<ViewsBench>(InterfaceKind::DMM);
        ram_ = &b_->ram();
        b_->Show(*ram_);
        b_->LoadChip(AddBanksChip(), "BANKS");  // RAM from 0x80 on
        Type(0x80, "12");
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        b_->Settle();
        // 0x80 doubled does not fit the frame's address byte: it would land on 0x00.
        QVERIFY(DmmWrites(b_->SentFrames()).empty());
        QTRY_COMPARE(
            b_->panel().StatusText(1),
            QString("Address 080 cannot be written over the DMM interface: it reaches 000 to 07F"));
        QCOMPARE(Text(0x80), QString("00"));
    }

    void cellsTheChipLacksShowADashAndTakeNoEdits() {
        QCOMPARE(Text(0x49), QString("-"));  // between the registers and the user RAM
        Type(0x49, "12");
        QCOMPARE(Text(0x49), QString("-"));
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        DoubleClick(0x49);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        b_->Settle();
        QVERIFY(SpiWrites(b_->SentFrames()).empty());

        // Only defined banks have tabs and menu items: the demo chip has bank 0 only.
        QVERIFY(ram_->bankTabs[0]->isVisible());
        QVERIFY(!ram_->bankTabs[1]->isVisible());
        QVERIFY(ram_->bankItems[0]->isVisible());
        QVERIFY(!ram_->bankItems[1]->isVisible());

        // Bank 4 lies beyond the chip's 1024 addresses: nothing there, even when a
        // description defines it.
        b_->LoadChip(AddBanksChip(), "BANKS");
        QVERIFY(ram_->bankTabs[4]->isVisible());
        QVERIFY(!ram_->bankTabs[2]->isVisible());
        ram_->bankItems[4]->trigger();
        QCOMPARE(ram_->CurrentBank(), 4);
        QCOMPARE(Grid()->headerData(0, Qt::Vertical).toString(), QString("400"));
        for (int c = 0; c < 256; ++c) QCOMPARE(Text(c), QString("-"));
        Type(0x10, "7");
        DoubleClick(0x11);
        Menu(0x12, ram_->SetMark);
        QCOMPARE(Background(0x12), colour::kWhite);
        b_->Settle();
        QVERIFY(SpiWrites(b_->SentFrames()).empty());

        // A chip without the bank shown falls back to bank 0.
        b_->LoadChip(0, "VZ6401");
        QCOMPARE(ram_->CurrentBank(), 0);
        QCOMPARE(Grid()->headerData(0, Qt::Vertical).toString(), QString("000"));
    }

    void marksAndHints() {
        Menu(0x55, ram_->SetMark);
        QCOMPARE(Background(0x55), QColor(0x80, 0x80, 0x80));  // the dialog starts gray
        QCOMPARE(Cell(0x55).data(Qt::ForegroundRole).value<QBrush>().color(), colour::kWhite);

        Menu(0x56, ram_->SetMarkNewColor);
        auto* dialog = OpenDialog<QColorDialog>();
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(0x12, 0x34, 0x86));
        dialog->accept();
        QCOMPARE(Background(0x56), QColor(0x12, 0x34, 0x86));
        Menu(0x57, ram_->SetMark);  // the dialog keeps the colour chosen last
        QCOMPARE(Background(0x57), QColor(0x12, 0x34, 0x86));
        Menu(0x57, ram_->ResetMark);
        QCOMPARE(Background(0x57), colour::kWhite);

        Menu(0x58, ram_->SetHint);
        auto* hint = OpenDialog<QInputDialog>();
        QVERIFY(hint);
        hint->setTextValue(QStringLiteral("電壓 pin 3"));
        hint->accept();
        QVERIFY(Cell(0x58).data(Qt::FontRole).value<QFont>().underline());
        QCOMPARE(Cell(0x58).data(Qt::ToolTipRole).toString(), QStringLiteral("電壓 pin 3"));
        QVERIFY(!Cell(0x59).data(Qt::FontRole).value<QFont>().underline());

        Menu(0x55, ram_->ResetAllMark);
        AnswerBox(QMessageBox::No, "Are you sure to reset all mark?");
        QCOMPARE(Background(0x55), QColor(0x80, 0x80, 0x80));
        Menu(0x55, ram_->ResetAllMark);
        AnswerBox(QMessageBox::Yes, "Are you sure to reset all mark?");
        QCOMPARE(Background(0x55), colour::kWhite);
        QCOMPARE(Background(0x56), colour::kWhite);

        Menu(0x58, ram_->ResetAllHint);
        AnswerBox(QMessageBox::Yes, "Are you sure to reset all Hint?");
        QVERIFY(!Cell(0x58).data(Qt::FontRole).value<QFont>().underline());
    }

    void saveAndLoadRestoreValuesMarksColoursAndHints() {
        // Values in the image: a few writes through the panel.
        for (auto [cell, keys] : {std::pair{0x50, "A1"}, std::pair{0x6F, "B2"}}) {
            Type(cell, keys);
            QTest::keyClick(ram_->SGD, Qt::Key_Return);
        }
        b_->Settle();
        Menu(0x50, ram_->SetMark);
        Menu(0x61, ram_->SetMarkNewColor);
        auto* dialog = OpenDialog<QColorDialog>();
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(0xFF, 0x80, 0x00));
        dialog->accept();
        Menu(0x62, ram_->SetHint);
        auto* hint = OpenDialog<QInputDialog>();
        QVERIFY(hint);
        hint->setTextValue("trim");
        hint->accept();
        const RamFileContents saved = ram_->FileContents();
        QCOMPARE(saved.values[0x50], std::optional<uint8_t>(0xA1));
        QVERIFY(!saved.values[0x49].has_value());

        const QString path = b_->benchDir() + "/bench.ram";
        QSignalSpy done(ram_, &gui::TVz_RAM::FileOperationDone);
        ram_->SaveRamData(path);
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.takeFirst().at(0).toBool(), true);

        // Everything changes...
        Menu(0x50, ram_->ResetAllMark);
        AnswerBox(QMessageBox::Yes, "Are you sure to reset all mark?");
        Menu(0x62, ram_->ResetHint);
        Type(0x50, "00");
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        b_->Settle();
        QCOMPARE(Text(0x50), QString("00"));

        // ... and the file brings it back: the image (not the chip), marks, colours, hints.
        QVERIFY(ram_->LoadRamData(path));
        b_->Settle();
        QCOMPARE(Text(0x50), QString("A1"));
        QCOMPARE(Background(0x50), QColor(0x80, 0x80, 0x80));  // drawn afresh: no change highlight
        QCOMPARE(Text(0x6F), QString("B2"));
        QCOMPARE(BenchImage()[0x50], 0xA1);
        QCOMPARE(b_->ChipByte(0x50), 0x00);
        QCOMPARE(Background(0x61), QColor(0xFF, 0x80, 0x00));
        QCOMPARE(Cell(0x62).data(Qt::ToolTipRole).toString(), QString("trim"));
        QCOMPARE(ram_->FileContents().notes, saved.notes);
        QCOMPARE(ram_->FileContents().values, saved.values);

        // Saving over the file asks first; No leaves it alone.
        QFile::remove(path);
        QFile other(path);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("keep me");
        other.close();
        ram_->SaveRamData(path);
        AnswerBox(QMessageBox::No, "File bench.ram exist! Overwrite?");
        QCOMPARE(done.size(), 1);
        QCOMPARE(done.takeFirst().at(0).toBool(), false);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("keep me"));
        other.close();
        ram_->SaveRamData(path);
        AnswerBox(QMessageBox::Yes, "File bench.ram exist! Overwrite?");
        QCOMPARE(done.takeFirst().at(0).toBool(), true);
        QVERIFY(ReadRamFile(path).ok);
    }

    void aBadFileChangesNothing() {
        Menu(0x60, ram_->SetMark);
        Type(0x61, "3C");
        QTest::keyClick(ram_->SGD, Qt::Key_Return);
        b_->Settle();
        const RamFileContents before = ram_->FileContents();
        const RegisterImageBytes image = BenchImage();

        const QByteArray good = FormatRamFile(RamFileContents{});  // "-" values, 3 bytes a line
        QByteArray badRecord = good;
        badRecord.replace(512 * 3, 4, " x 0");  // the first flag line
        const QByteArray bad[] = {
            good.left(good.size() / 2),          // short
            QByteArray("ZZ\r\n") + good.mid(3),  // a value that is not hex
            badRecord,
        };
        const QString path = b_->benchDir() + "/bad.ram";
        for (const QByteArray& bytes : bad) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
            f.close();
            QVERIFY(!ram_->LoadRamData(path));
            auto* box = OpenDialog<QMessageBox>();
            QVERIFY(box);
            QVERIFY(box->text().startsWith("Cannot load RAM data from"));
            box->accept();
            QTRY_VERIFY(ram_->findChild<QMessageBox*>() == nullptr);
            b_->Settle();
            QCOMPARE(ram_->FileContents().notes, before.notes);
            QCOMPARE(BenchImage(), image);
        }

        // A save that cannot be written says so and leaves no file.
        QSignalSpy done(ram_, &gui::TVz_RAM::FileOperationDone);
        ram_->SaveRamData(b_->benchDir() + "/no/such/folder/x.ram");
        QCOMPARE(done.takeFirst().at(0).toBool(), false);
        auto* box = OpenDialog<QMessageBox>();
        QVERIFY(box);
        QVERIFY(box->text().startsWith("Cannot save RAM data to"));
        box->accept();
    }

    void workbookHoldsTheValuesAndTextsInTheirCells() {
        b_->SetChipByte(0x22, 0xE9);  // VRTRIM
        b_->SetChipByte(0x60, 0x5A);  // user RAM, beyond what Read RAM reads
        b_->ReadRam();
        QCOMPARE(Text(0x22), QString("E9"));
        const RegisterImageBytes image = BenchImage();
        const QString path = b_->benchDir() + "/ram.xlsx";
        QVERIFY(ram_->SaveToExcel(path));

        auto unzip = [&](const char* member) {
            QProcess p;
            p.start("unzip", {"-p", path, member});
            p.waitForFinished(10000);
            return p.readAllStandardOutput();
        };
        QVERIFY(unzip("xl/workbook.xml").contains("name=\"USER Data\""));
        // Shared strings, in order.
        QStringList strings;
        QXmlStreamReader shared(unzip("xl/sharedStrings.xml"));
        while (!shared.atEnd()) {
            if (shared.readNext() == QXmlStreamReader::StartElement &&
                shared.name() == QLatin1String("t")) {
                strings << shared.readElementText();
            }
        }
        // Cells: reference -> shown text (numbers as written, strings resolved).
        QMap<QString, QString> cells;
        QXmlStreamReader sheet(unzip("xl/worksheets/sheet1.xml"));
        QString ref, type;
        while (!sheet.atEnd()) {
            sheet.readNext();
            if (!sheet.isStartElement()) continue;
            if (sheet.name() == QLatin1String("c")) {
                ref = sheet.attributes().value("r").toString();
                type = sheet.attributes().value("t").toString();
            } else if (sheet.name() == QLatin1String("v")) {
                const QString v = sheet.readElementText();
                cells[ref] = type == "s" ? "text:" + strings.value(v.toInt()) : "number:" + v;
            }
        }
        QCOMPARE(cells.size(), 1024);
        QCOMPARE(cells["E5"], QString("number:233"));  // address 0x22: row 2 + 3, column 2 + 3
        QCOMPARE(cells["V5"], QString("text:E9h"));    // column 2 + 20
        QCOMPARE(cells["C3"], QString("number:%1").arg(image[0]));  // address 0, a result register
        QCOMPARE(cells["L7"], QString("text:-"));  // address 0x49: not on this chip
        QCOMPARE(cells["AC7"], QString("text:-"));
        QCOMPARE(cells["C9"], QString("number:0"));  // 0x60: the image, not the chip, is exported
        QCOMPARE(cells["R34"], QString("text:-"));   // address 511 (last row, last column)
        QCOMPARE(cells["AI34"], QString("text:-"));
        QVERIFY(!cells.contains("C35"));

        // A failed export leaves an earlier workbook as it was.
        const QByteArray earlier = [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto* handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 2000;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = ram_->SaveToExcel(path);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        QVERIFY(!written);
        auto* box = OpenDialog<QMessageBox>();
        QVERIFY(box);
        QVERIFY(box->text().startsWith("Cannot write the workbook"));
        box->accept();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), earlier);
        QCOMPARE(QDir(b_->benchDir()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden).size(), 0);
    }
};

DMM_QTEST(RamPanelTest);

}  // namespace dmm::test

#include "ram_panel_test.moc"
