// Every window of the program opened at the size it opens with, on the simulated bench
// with its usual values in place, at 100 % and at 150 % font: no label, status text, button
// text or grid cell is elided or cut off, by its own box or by the window around it.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QTextDocument>

#include <cerrno>
#include <memory>

#include "core/analog/block_field_ops.h"
#include "core/link/processor_centre.h"
#include "gui/analog/block_panel.h"
#include "gui/analog/diagram_controls.h"
#include "gui/app/child_windows.h"
#include "gui/measure/t_anx_adc.h"
#include "gui/views/hex_grid_view.h"
#include "platform/parport_map.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {
namespace {

// The most rows of a grid that are looked at: the rest repeat the same kinds of value.
constexpr int kRowsLooked = 160;

QString Name(const QWidget* w) {
    return QStringLiteral("%1 %2 (%3 x %4)")
        .arg(w->metaObject()->className(), w->objectName())
        .arg(w->width())
        .arg(w->height());
}

// Collects what does not fit in the windows it is shown.
class FitCheck {
  public:
    explicit FitCheck(const QWidget* mdiViewport) : mdiViewport_(mdiViewport) {}
    QStringList faults;

    // top: the window everything is measured in (the main window, or a dialog of its own).
    void Window(const QWidget* window, const QWidget* top) {
        QList<const QWidget*> widgets = {window};
        for (const QWidget* w : window->findChildren<QWidget*>()) widgets << w;
        for (const QWidget* w : widgets) {
            if (!w->isVisible()) continue;
            const bool holdsText = Texts(w);
            if (holdsText && !InScrolledContent(w) && CutByItsWindow(w, top))
                faults << Name(w) + " is cut off by the window around it";
        }
    }

    void Fault(const QString& text) { faults << text; }

  private:
    // Checks the texts of a widget; true when it is a widget that shows text.
    bool Texts(const QWidget* w) {
        if (auto* label = qobject_cast<const QLabel*>(w)) return Label(*label);
        if (auto* button = qobject_cast<const QAbstractButton*>(w)) return Button(*button);
        if (auto* bar = qobject_cast<const QStatusBar*>(w)) return StatusMessage(*bar);
        if (auto* table = qobject_cast<const QTableView*>(w)) return Table(*table);
        return false;
    }

    bool Label(const QLabel& label) {
        const QString text = label.text();
        if (text.isEmpty()) return false;
        const QFontMetrics fm(label.font());
        bool fits = true;
        if (auto* bound = qobject_cast<const gui::BoundLabel*>(&label)) {
            // Drawn by the label itself, in its text area.
            const QRect box = bound->TextArea();
            const QRect needed = fm.boundingRect(box, static_cast<int>(label.alignment()), text);
            fits = needed.width() <= box.width() && needed.height() <= box.height();
        } else if (label.wordWrap()) {
            fits = label.heightForWidth(label.width()) <= label.height();
        } else {
            // What the label itself asks for: text, frame, margin and indent.
            const QSize needed = label.sizeHint();
            fits = needed.width() <= label.width() && needed.height() <= label.height();
        }
        if (!fits) faults << QStringLiteral("%1 cuts its text \"%2\"").arg(Name(&label), text);
        return true;
    }

    bool Button(const QAbstractButton& button) {
        QString text = button.text();
        if (text.isEmpty()) return false;
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&');
        text.replace(QChar(1), QChar('&'));
        QStyleOptionButton option;
        option.initFrom(&button);
        option.text = button.text();
        QRect box = button.rect().adjusted(3, 3, -3, -3);
        QStyle* style = button.style();
        if (auto* push = qobject_cast<const QPushButton*>(&button)) {
            if (push->autoDefault() || push->isDefault())
                option.features |= QStyleOptionButton::AutoDefaultButton;
            box = style->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
        } else if (qobject_cast<const QCheckBox*>(&button)) {
            box = style->subElementRect(QStyle::SE_CheckBoxContents, &option, &button);
        } else if (qobject_cast<const QRadioButton*>(&button)) {
            box = style->subElementRect(QStyle::SE_RadioButtonContents, &option, &button);
        }
        const QFontMetrics fm(button.font());
        int width = fm.horizontalAdvance(text);
        if (!button.icon().isNull()) width += button.iconSize().width() + 4;
        if (width > box.width() || fm.height() > box.height())
            faults << QStringLiteral("%1 cuts its text \"%2\"").arg(Name(&button), text);
        return true;
    }

    bool StatusMessage(const QStatusBar& bar) {
        const QString text = bar.currentMessage();
        if (text.isEmpty()) return false;
        const QFontMetrics fm(bar.font());
        if (fm.horizontalAdvance(text) + 8 > bar.width() || fm.height() > bar.height())
            faults << QStringLiteral("%1 cuts its message \"%2\"").arg(Name(&bar), text);
        return true;
    }

    bool Table(const QTableView& table) {
        const QAbstractItemModel* model = table.model();
        if (!model) return false;
        const int margin =
            2 * (table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1);
        int cutCells = 0;
        for (int c = 0; c < model->columnCount(); ++c) {
            if (table.isColumnHidden(c)) continue;
            for (int r = 0; r < std::min(model->rowCount(), kRowsLooked); ++r) {
                if (table.isRowHidden(r)) continue;
                const QModelIndex index = model->index(r, c);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text.isEmpty()) continue;
                const QVariant font = index.data(Qt::FontRole);
                // Unrounded: the view elides a text that is a fraction of a pixel too wide.
                const QFontMetricsF fm(font.isValid() ? font.value<QFont>() : table.font());
                const QRect cell = table.visualRect(index);
                // The hex grids draw their text 1 pixel inside the cell.
                const QRect box =
                    qobject_cast<const gui::PanelCellDelegate*>(table.itemDelegateForIndex(index))
                        ? gui::PanelCellDelegate::TextRect(cell)
                        : cell.adjusted(margin / 2, 0, -margin / 2, 0);
                if (fm.horizontalAdvance(text) > box.width() || fm.height() > box.height()) {
                    if (++cutCells > 3) continue;  // the first few say enough
                    faults << QStringLiteral("%1 cuts cell (%2, %3) \"%4\"")
                                  .arg(Name(&table))
                                  .arg(r)
                                  .arg(c)
                                  .arg(text);
                }
            }
        }
        for (const QHeaderView* header : {table.horizontalHeader(), table.verticalHeader()}) {
            if (!header->isVisible()) continue;
            const QFontMetrics fm(header->font());
            const int headerMargin =
                2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            for (int s = 0; s < std::min(header->count(), kRowsLooked); ++s) {
                if (header->isSectionHidden(s)) continue;
                const QString text = model->headerData(s, header->orientation()).toString();
                if (text.isEmpty()) continue;
                const int room = header->orientation() == Qt::Horizontal ? header->sectionSize(s)
                                                                         : header->width();
                if (fm.horizontalAdvance(text) + headerMargin > room)
                    faults << QStringLiteral("%1 cuts header \"%2\"").arg(Name(&table), text);
            }
        }
        return true;
    }

    // Inside a grid or a scroll area: scrolling shows it, the window does not cut it.
    bool InScrolledContent(const QWidget* w) const {
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (p == mdiViewport_) return false;
            auto* area = qobject_cast<const QAbstractScrollArea*>(p->parentWidget());
            if (area && area->viewport() == p) return true;
        }
        return false;
    }

    static bool CutByItsWindow(const QWidget* w, const QWidget* top) {
        const QRect whole(w->mapTo(top, QPoint(0, 0)), w->size());
        QRect shown = whole & top->rect();
        for (const QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
            shown &= QRect(p->mapTo(top, QPoint(0, 0)), p->size());
        return shown != whole;
    }

    const QWidget* mdiViewport_;
};

// Status texts the program shows on the simulated bench and, for the parallel port, on a
// computer without one.
QList<std::array<QString, 3>> UsualStatusTexts() {
    const QString noPort =
        QString::fromStdString(platform::PortErrorText("/dev/parport0", ENOENT, true));
    return {
        {"USB On Line", QString(), "USB Scan: board found (VzUSB-0)"},
        {"USB not Connect !!!", QString(), "USB Scan: no board found"},
        {"USB On Line", "Calibration 500K\u03A9 .......", "Read RAM: 64 bytes from 000 read"},
        {"USB On Line", "Calibration Fail!!!!!", QString::fromLatin1(kIntfOffHint)},
        {noPort, QString(), "Read RAM failed: " + noPort},
    };
}

}  // namespace

class WindowsFitTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TMainPanel* panel_ = nullptr;

    void SetField(const char* name, int value) {
        program_->bench().RunAndWait([&](Bench& b) {
            const TRegField* field = b.core().chipModel().Field(name);
            QVERIFY2(field && field->IsDefined(), name);
            QVERIFY(WriteFieldValue(b.chip(), *field, value));
        });
    }
    QAbstractButton* Button(const char* window, const char* name) {
        auto* button = panel_->Child(window)->findChild<QAbstractButton*>(name);
        if (!button) qWarning("no button %s/%s", window, name);
        return button;
    }

    // The values a session on the simulated bench puts into the windows.
    void PutUsualValues() {
        panel_->MenuItem("Menu_INTF")->trigger();
        SetField("ENAD_S", 1);
        SetField("S_AD1RL", 2);
        SetField("AD1OSR", 0);
        auto* analysis = qobject_cast<gui::TAnxADC*>(panel_->Child("TAnxADC"));
        QSignalSpy captured(analysis, &gui::TAnxADC::CaptureFinished);
        analysis->CatchADC1->click();
        QVERIFY(captured.wait(60000));
        // Two results averaged: the grid shows its widest numbers, with six decimals.
        analysis->findChild<QComboBox*>("CMAVR")->setCurrentIndex(1);
        // The counter on its 500nF range, the meters reading, the ohmmeter on "5K".
        Button("TProCounterA", "P500nF")->click();
        Button("TMeter", "RDandStop")->click();
        Button("TDMMResister", "B1K")->click();
        panel_->MenuItem("SETDMM1")->trigger();
        QTest::qWait(2500);
    }

    void Check(FitCheck& check, const QString& name) {
        QWidget* window = panel_->Child(name);
        if (panel_->StandsAlone(window)) {
            panel_->MenuItem("SMenu_Option")->trigger();
            QTRY_VERIFY(window->isVisible());
            check.Window(window, window);
            window->hide();
            return;
        }
        panel_->ShowChild(window, -1, true);
        auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        QVERIFY(frame);
        QTest::qWait(20);
        const QSize area = panel_->mdiArea()->viewport()->size();
        if (frame->width() > area.width() || frame->height() > area.height()) {
            check.Fault(QStringLiteral("%1 opens at %2 x %3, larger than the main window's "
                                       "client area (%4 x %5)")
                            .arg(name)
                            .arg(frame->width())
                            .arg(frame->height())
                            .arg(area.width())
                            .arg(area.height()));
        }
        check.Window(frame, panel_);
        panel_->ShowChild(window, -1, false);
    }

    QFont designFont_;

  private slots:
    void initTestCase() { designFont_ = QApplication::font(); }
    void cleanup() {
        program_.reset();
        QApplication::setFont(designFont_);
    }

    void everyTextIsWhole_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("150 %") << 1.5;
    }

    void everyTextIsWhole() {
        QFETCH(double, scale);
        QFont font = designFont_;
        font.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(font);
        program_ = std::make_unique<SimulatedProgram>();
        panel_ = &program_->panel();
        // The main window's size at start on a screen large enough for it.
        panel_->resize(1280, 860);
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
        PutUsualValues();

        FitCheck check(panel_->mdiArea()->viewport());
        for (const gui::ChildWindowInfo& info : gui::ChildWindowTable())
            Check(check, QString::fromLatin1(info.className));
        for (const auto& texts : UsualStatusTexts()) {
            for (int i = 0; i < 3; ++i) panel_->SetStatusText(i, texts[static_cast<size_t>(i)]);
            QTest::qWait(20);
            check.Window(panel_->statusBar(), panel_);
        }
        for (const QString& fault : check.faults) qInfo("%s", qPrintable(fault));
        QVERIFY2(check.faults.isEmpty(), "texts cut off (listed above)");
    }
};

DMM_QTEST(WindowsFitTest);

}  // namespace dmm::test

#include "windows_fit_test.moc"
