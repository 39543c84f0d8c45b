#pragma once

#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QTest>

#include <memory>
#include <mutex>

#include "core/analog/block_field_ops.h"
#include "gui/analog/diagram_controls.h"
#include "sim/sim_dmm_chip.h"
#include "support/simulated_program.h"

namespace dmm::test {

// Records the packets the link sends, on the bench thread.
class SentPackets final : public PacketTrace {
  public:
    void OnPacket(bool outgoing, const uint8_t* data, size_t n) override {
        if (outgoing) sent.emplace_back(data, data + n);
    }
    std::vector<std::vector<uint8_t>> sent;
};

// Drives the block panels of the whole program on the simulated DMM chip as a user does,
// and looks at the chip behind the program's back. For Qt tests: the checks that fail
// report through QVERIFY in the calling test.
class PanelDriver {
  public:
    // Starts the program, connects the board and opens the windows (menu items).
    void Start(std::initializer_list<const char*> menuItems) {
        program_ = std::make_unique<SimulatedProgram>();
        program_->panel().MenuItem("USBScan")->trigger();
        QTRY_COMPARE(program_->panel().StatusText(0), QString("USB On Line"));
        for (const char* item : menuItems) program_->panel().MenuItem(item)->trigger();
    }
    void Stop() { program_.reset(); }

    SimulatedProgram& program() { return *program_; }
    gui::TMainPanel& panel() { return program_->panel(); }
    Bench& bench() { return program_->bench(); }
    QWidget* Window(const char* className) { return panel().Child(className); }
    sim::SimDmmChip& Chip() { return static_cast<sim::SimDmmChip&>(program_->sim().chip()); }

    template <typename T = QWidget>
    T* Control(QWidget* window, const char* name) {
        T* control = window->findChild<T*>(name);
        if (!control) qFatal("no control %s", name);
        return control;
    }
    template <typename T = QWidget>
    T* Control(const char* window, const char* name) {
        return Control<T>(Window(window), name);
    }

    TRegField Field(const char* name) {
        TRegField field;
        bench().RunAndWait([&](Bench& b) { field = *b.core().chipModel().Field(name); });
        return field;
    }
    // Runs work on the simulated chip with the board's lock held.
    template <typename Work>
    void OnChip(Work work) {
        bench().RunAndWait([&](Bench&) {
            std::lock_guard lock(program_->sim().board().mutex());
            work(Chip());
        });
    }
    uint8_t ChipByte(int address) {
        uint8_t value = 0;
        OnChip([&](sim::SimDmmChip& chip) { value = chip.memory()[static_cast<size_t>(address)]; });
        return value;
    }
    int ChipField(const char* name) {
        const TRegField field = Field(name);
        return field.Extract(ChipByte(field.registerIndex));
    }
    // Changes the chip behind the program's back (the image keeps its old byte).
    void PokeChip(int address, uint8_t value) {
        OnChip([&](sim::SimDmmChip& chip) { chip.Write(static_cast<uint16_t>(address), value); });
    }
    uint8_t Image(int address) {
        uint8_t value = 0;
        bench().RunAndWait([&](Bench& b) { value = b.chip().GetRegImage(address); });
        return value;
    }
    // Writes a field the way the panels do; true once the image shows it.
    bool SetField(const char* name, int value) {
        const TRegField field = Field(name);
        bool written = false;
        bench().RunAndWait([&](Bench& b) { written = WriteFieldValue(b.chip(), field, value); });
        return written &&
               QTest::qWaitFor([&] { return field.Extract(Image(field.registerIndex)) == value; });
    }

    // Records what the link sends while work runs (on the GUI thread, with waits).
    template <typename Work>
    std::vector<std::vector<uint8_t>> Sent(Work work) {
        SentPackets packets;
        bench().RunAndWait([&](Bench& b) { b.link().SetTrace(&packets); });
        work();
        bench().RunAndWait([&](Bench& b) { b.link().SetTrace(nullptr); });
        return packets.sent;
    }
    // The register writes among packets (DMM frames: even doubled address).
    static std::vector<std::vector<uint8_t>> Writes(const std::vector<std::vector<uint8_t>>& sent) {
        std::vector<std::vector<uint8_t>> writes;
        for (const auto& p : sent) {
            if (p.size() > 4 && p[0] == 0xC2 && (p[2] & 1) == 0) writes.push_back(p);
        }
        return writes;
    }

    // Lets the work posted so far finish on the bench and its results reach the windows.
    // Each round lets the bench run what the last one posted (a write's published image is
    // posted behind the write) and the windows take what came back, so a slow machine
    // settles as a fast one does.
    void Settle() {
        for (int round = 0; round < 3; ++round) {
            bench().RunAndWait([](Bench&) {});
            QCoreApplication::processEvents();
        }
    }
    // From now on every one-byte read of address answers byte, whatever the chip holds
    // (address -1: the chip answers again).
    void ReadBackAs(int address, uint8_t byte) {
        bench().RunAndWait([&](Bench&) {
            auto& filter = program_->sim().board().faults().replyFilter;
            if (address < 0) {
                filter = nullptr;
                return;
            }
            filter = [read = uint8_t(2 * address + 1), byte](const std::vector<uint8_t>& request,
                                                             std::vector<uint8_t>& reply) {
                if (request.size() >= 4 && request[0] == 0xC2 && request[2] == read &&
                    request[3] == 1 && reply.size() == 1)
                    reply[0] = byte;
            };
        });
    }

    // A choice made by the user: the combo box shows the item and reports it.
    static void Choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    static void Click(QWidget* widget) {
        QVERIFY2(widget->isVisible(), qPrintable(widget->objectName()));
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }
    static bool Chosen(gui::BoundLabel* label) { return label->Background() == QColor(Qt::black); }

  private:
    std::unique_ptr<SimulatedProgram> program_;
};

}  // namespace dmm::test
