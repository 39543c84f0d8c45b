#pragma once

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <mutex>

#include "gui/app/bench_session.h"
#include "gui/app/t_main_panel.h"
#include "gui/app/tool_windows.h"
#include "gui/views/t_vz_pop_sel_hex.h"
#include "gui/views/t_vz_ram.h"
#include "gui/views/t_vz_reg2.h"
#include "sim/sim_bench.h"
#include "support/sim_fixture.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The program on the simulated board with the register and RAM panels installed, the
// board connected and every packet recorded.
class ViewsBench {
  public:
    explicit ViewsBench(InterfaceKind kind = InterfaceKind::DMM) {
        bench().RunAndWait([this, kind](Bench& b) {
            b.target().interfaceKind = kind;
            b.link().SetTrace(&trace_);
            b.up().USBConnect();
        });
        // The activation step loads the selected chip (the demo DMM chip, VZ6401).
        WaitForChip(QStringLiteral("VZ6401"));
        ClearTrace();
    }
    ~ViewsBench() {
        panel().close();
        bench().RunAndWait([](Bench& b) { b.link().SetTrace(nullptr); });
    }

    Bench& bench() { return program_.bench(); }
    sim::SimBench& sim() { return program_.sim(); }
    gui::TMainPanel& panel() { return program_.panel(); }
    gui::TVz_Reg2& reg() { return *qobject_cast<gui::TVz_Reg2*>(panel().Child("TVz_Reg2")); }
    gui::TVz_RAM& ram() { return *qobject_cast<gui::TVz_RAM*>(panel().Child("TVz_RAM")); }
    QString benchDir() const { return program_.benchDir(); }

    void Show(QWidget& window) { panel().ShowChild(&window, -1, true); }

    // Adds a chip description to the bench's INCLUDE folder and chip list; returns the
    // chip's index in the list.
    int AddDescription(const QString& fileName, const QByteArray& text) {
        QFile file(QDir(benchDir()).filePath("INCLUDE/" + fileName));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        QFile list(QDir(benchDir()).filePath("INCLUDE/VzSel.INC"));
        list.open(QIODevice::ReadOnly);
        QList<QByteArray> lines;
        for (const QByteArray& line : list.readAll().split('\n')) {
            if (line.trimmed().size() < 3 || line.trimmed().startsWith(';'))
                break;  // where the list ends
            lines << line;
        }
        list.close();
        const int index = static_cast<int>(lines.size());
        lines << fileName.toLatin1() + "  TEST  chip";
        list.open(QIODevice::WriteOnly | QIODevice::Truncate);
        list.write(lines.join('\n') + '\n');
        return index;
    }
    // Loads chip index of the chip list as the program does and waits for the panels.
    void LoadChip(int index, const QString& title) {
        bench().RunAndWait([index](Bench& b) {
            b.target().chipIndex = static_cast<uint16_t>(index);
            b.LoadSelectedChip();
        });
        WaitForChip(title);
    }
    void WaitForChip(const QString& title) {
        const bool loaded = QTest::qWaitFor([&] {
            const PanelChip* r = reg().state().chip();
            const PanelChip* m = ram().state().chip();
            return r && m && r->productTitle == title && m->productTitle == title;
        });
        if (!loaded) qWarning("chip %s did not reach the panels", qPrintable(title));
        Settle();
    }
    // "Read RAM": the first 64 chip bytes into the image.
    void ReadRam() {
        panel().MenuItem("Menu_ReadRAM")->trigger();
        Settle();
    }

    // What the simulated chip holds now.
    uint8_t ChipByte(int address) {
        std::lock_guard lock(sim().board().mutex());
        return sim().chip().memory()[static_cast<size_t>(address)];
    }
    void SetChipByte(int address, uint8_t value) {
        std::lock_guard lock(sim().board().mutex());
        sim().chip().Write(static_cast<uint16_t>(address), value);
    }
    // The packets sent since the last ClearTrace that are chip write frames.
    std::vector<Bytes> SentFrames() {
        std::vector<Bytes> sent;
        bench().RunAndWait([&](Bench&) { sent = trace_.Sent(); });
        return sent;
    }
    void ClearTrace() {
        bench().RunAndWait([this](Bench&) { trace_.Clear(); });
    }
    // Lets the bench finish what was posted and the windows take the image it published.
    // Each round lets the bench run what the last one posted (a write's published image is
    // posted behind the write) and the window take what came back, so a slow machine settles
    // as a fast one does.
    void Settle() {
        for (int round = 0; round < 3; ++round) {
            bench().RunAndWait([](Bench&) {});
            QTest::qWait(20);
        }
    }

    // The next hex entry popup is answered by typing keys (a trailing "\n" presses Enter,
    // "\x1b" Escape); its caption is kept for the test.
    void AnswerNextHex(const QString& keys) {
        QTimer::singleShot(0, [this, keys] {
            auto* popup = qobject_cast<gui::TVzPopSelHex*>(QApplication::activeModalWidget());
            if (!popup) {
                lastHexCaption = QStringLiteral("<no popup>");
                return;
            }
            lastHexCaption = popup->windowTitle();
            for (QChar c : keys) {
                if (!popup->isVisible()) break;
                if (c == QLatin1Char('\n'))
                    QTest::keyClick(popup->ENum, Qt::Key_Return);
                else if (c == QChar(0x1B))
                    QTest::keyClick(popup->ENum, Qt::Key_Escape);
                else
                    QTest::keyClicks(popup->ENum, QString(c));
            }
        });
    }
    QString lastHexCaption;

  private:
    SimulatedProgram program_;
    RecordingTrace trace_;
};

// The write frames of the DMM kind in a trace: address and value of each.
inline std::vector<std::pair<int, int>> DmmWrites(const std::vector<Bytes>& frames) {
    std::vector<std::pair<int, int>> writes;
    for (const Bytes& f : frames) {
        if (f.size() == 5 && f[0] == 0xC2 && (f[2] & 1) == 0 && f[3] == 1)
            writes.push_back({f[2] >> 1, f[4]});
    }
    return writes;
}

// The write frames of the SPI kind: address and value of each single-byte write.
inline std::vector<std::pair<int, int>> SpiWrites(const std::vector<Bytes>& frames) {
    std::vector<std::pair<int, int>> writes;
    for (const Bytes& f : frames) {
        if (f.size() == 6 && (f[0] == 0xB1 || f[0] == 0xBC) && f[1] == 0x40 && f[4] == 1) {
            writes.push_back({f[2] | (f[3] << 8), f[5]});
        }
    }
    return writes;
}

}  // namespace dmm::test
