// Verbs that talk to the board and the chip's memory: scan, read, write, reg.
#include <sstream>

#include "cli/verb.h"
#include "core/link/number_text.h"

namespace dmm::cli {
namespace {

int64_t Number(const std::string& text) {
    int64_t v = 0;
    ParseCliNumber(text, v);
    return v;
}

bool CheckAddress(Session& s, int64_t address, int64_t count) {
    if (address < 0 || address + count > kRegisterImageSize) {
        std::ostringstream message;
        message << "address range 0x" << HexText32(static_cast<uint32_t>(address)) << " + " << count
                << " lies outside the chip's 0x000..0x3FF";
        return s.Fail(message.str());
    }
    return true;
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
        app.add_option("ADDR", address_, "first chip address")->required()->check(CliNumber());
        app.add_option("COUNT", count_, "number of bytes (1..255)")->required()->check(CliNumber());
    }
    bool Run(Session& s) override {
        const int64_t address = Number(address_), count = Number(count_);
        if (count < 1 || count > 255) return s.Fail("COUNT must be 1..255");
        if (!CheckAddress(s, address, count) || !s.EnsureChipLink()) return false;
        if (!s.core().chip().ReadChip(static_cast<uint16_t>(address), static_cast<int>(count))) {
            return s.ChipFail("chip read failed");
        }
        s.out() << HexBytes(s.core().chip().buffer().data(), static_cast<size_t>(count)) << '\n';
        return true;
    }

  private:
    std::string address_, count_;
};

class WriteVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ADDR", address_, "first chip address")->required()->check(CliNumber());
        app.add_option("BYTE", bytes_, "bytes to write")->required()->check(CliNumber());
    }
    bool Run(Session& s) override {
        const int64_t address = Number(address_);
        if (bytes_.size() > 255) return s.Fail("at most 255 bytes per write");
        if (!CheckAddress(s, address, static_cast<int64_t>(bytes_.size()))) return false;
        ChipAccess& chip = s.core().chip();
        const size_t offset = WriteDataOffset(chip.target().interfaceKind);
        for (size_t i = 0; i < bytes_.size(); ++i) {
            const int64_t v = Number(bytes_[i]);
            if (v < 0 || v > 255) return s.Fail("byte out of range: " + bytes_[i]);
            if (offset + i >= chip.buffer().size()) return s.Fail("too many bytes");
        }
        if (!s.EnsureChipLink()) return false;
        for (size_t i = 0; i < bytes_.size(); ++i) {
            chip.buffer()[offset + i] = static_cast<uint8_t>(Number(bytes_[i]));
        }
        if (!chip.WriteChip(static_cast<uint16_t>(address), static_cast<int>(bytes_.size()))) {
            return s.ChipFail("chip write failed");
        }
        return true;
    }

  private:
    std::string address_;
    std::vector<std::string> bytes_;
};

class RegVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ADDR", address_, "register address")->required()->check(CliNumber());
        app.add_option("BYTE", value_, "value to write")->required()->check(CliNumber());
    }
    bool Run(Session& s) override {
        const int64_t address = Number(address_), value = Number(value_);
        if (value < 0 || value > 255) return s.Fail("BYTE must be 0..255");
        if (!CheckAddress(s, address, 1) || !s.EnsureChipLink()) return false;
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
    std::string address_, value_;
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
