// Verbs that talk to the board and the chip's memory: scan, read, write, reg.
#include <sstream>

#include "cli/verb.h"
#include "core/link/number_text.h"

namespace dmm::cli {
namespace {

constexpr WholeRule kByteCountRule{"a number of bytes", 1, 255};
constexpr WholeRule kByteRule{"a byte", 0, 0xFF, "BYTE", "", WholeForm::Any, true};

// A block that would run past the chip's last address is refused with the other values
// that are not valid, before anything is sent.
void CheckBlock(int address, size_t count) {
    if (address + static_cast<int64_t>(count) > kRegisterImageSize) {
        std::ostringstream message;
        message << "address range 0x" << HexText32(static_cast<uint32_t>(address)) << " + " << count
                << " lies outside the chip's 0x000..0x3FF";
        throw CLI::ValidationError(message.str());
    }
}

class ScanVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        if (!s.EnsureBoard()) return false;
        BoardLink& link = s.core().link();
        const Devc& devc = link.devc();
        if (link.HidMode()) {
            const HidAttributes& a = link.hidAttributes();
            s.out() << "found HID board: VID " << HexStr(a.vendorId, 4) << " PID "
                    << HexStr(a.productId, 4) << " release " << HexStr(a.versionNumber, 4)
                    << ", report length " << a.inputReportLength << '\n';
        } else {
            s.out() << "found bulk board " << devc.deviceName << ": VID "
                    << HexStr(devc.VendorId(), 4) << " PID " << HexStr(devc.ProductId(), 4)
                    << ", pipes IN " << HexStr(devc.pipes[0].endpointAddress, 2) << " OUT "
                    << HexStr(devc.pipes[1].endpointAddress, 2) << ", packet size "
                    << devc.maximumPacketSize << '\n';
        }
        std::string info;
        if (!link.ReadBoardInfo(info)) return s.Fail("the board did not answer the info request");
        s.out() << "board info: " << info << '\n';
        return true;
    }
};

class ReadVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ADDR", address_, "first chip address")->required()->transform(Address());
        app.add_option("COUNT", count_, "number of bytes (1..255)")
            ->required()
            ->transform(Whole(kByteCountRule));
        app.callback([this] { CheckBlock(address_, static_cast<size_t>(count_)); });
    }
    bool Run(Session& s) override {
        if (!s.EnsureChipLink()) return false;
        if (!s.core().chip().ReadChip(static_cast<uint16_t>(address_), count_)) {
            return s.ChipFail("chip read failed");
        }
        s.out() << HexBytes(s.core().chip().buffer().data(), static_cast<size_t>(count_)) << '\n';
        return true;
    }

  private:
    int address_ = 0;
    int count_ = 0;
};

class WriteVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ADDR", address_, "first chip address")->required()->transform(Address());
        app.add_option("BYTE", bytes_, "bytes to write, at most 255")
            ->required()
            ->transform(Whole(kByteRule));
        app.callback([this] {
            if (bytes_.size() > 255) throw CLI::ValidationError("at most 255 bytes per write");
            CheckBlock(address_, bytes_.size());
        });
    }
    bool Run(Session& s) override {
        ChipAccess& chip = s.core().chip();
        const size_t offset = WriteDataOffset(chip.target().interfaceKind);
        if (offset + bytes_.size() > chip.buffer().size()) return s.Fail("too many bytes");
        if (!s.EnsureChipLink()) return false;
        for (size_t i = 0; i < bytes_.size(); ++i)
            chip.buffer()[offset + i] = static_cast<uint8_t>(bytes_[i]);
        if (!chip.WriteChip(static_cast<uint16_t>(address_), static_cast<int>(bytes_.size()))) {
            return s.ChipFail("chip write failed");
        }
        return true;
    }

  private:
    int address_ = 0;
    std::vector<int> bytes_;
};

class RegVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ADDR", address_, "register address")->required()->transform(Address());
        app.add_option("BYTE", value_, "value to write")->required()->transform(Whole(kByteRule));
    }
    bool Run(Session& s) override {
        const int address = address_, value = value_;
        if (!s.EnsureChipLink()) return false;
        ChipAccess& chip = s.core().chip();
        if (!chip.WriteRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value))) {
            return s.ChipFail("register write failed");
        }
        const uint8_t readBack = chip.GetRegImage(static_cast<int>(address));
        s.out() << HexStr(readBack, 2) << '\n';
        // Read-only or unimplemented bits: the chip kept something else than was written.
        if (readBack != value) {
            s.err() << "dmmctl: register " << HexStr(static_cast<uint16_t>(address), 3)
                    << " reads back " << HexStr(readBack, 2) << ", not the "
                    << HexStr(static_cast<uint16_t>(value), 2) << " written\n";
        }
        return true;
    }

  private:
    int address_ = 0;
    int value_ = 0;
};

}  // namespace

void AddLinkVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back(
        {"scan", "find and identify the board", [] { return std::make_unique<ScanVerb>(); }});
    verbs.push_back({"read", "read ADDR COUNT: print COUNT chip bytes in hex",
                     [] { return std::make_unique<ReadVerb>(); }});
    verbs.push_back({"write", "write ADDR BYTE...: write bytes to the chip",
                     [] { return std::make_unique<WriteVerb>(); }});
    verbs.push_back({"reg", "reg ADDR BYTE: write one register with read-back; print the read-back",
                     [] { return std::make_unique<RegVerb>(); }});
}

}  // namespace dmm::cli
