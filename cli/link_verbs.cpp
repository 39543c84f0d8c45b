// Verbs that talk to the board and the chip's memory: scan, read, write, reg.
#include "cli/verb.h"
#include "core/link/number_text.h"
#include "headless/link_operations.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

using headless::kByteCountRule;
using headless::kByteRule;

// A block that would run past the chip's last address is refused with the other values
// that are not valid, before anything is sent.
void CheckBlock(int address, size_t count) {
    const std::string refusal = headless::BlockRefusal(address, static_cast<int64_t>(count));
    if (!refusal.empty()) throw CLI::ValidationError(refusal);
}

class ScanVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const auto board = headless::ScanBoard(s.bench());
        if (!board) return s.Fail(board.failure());
        if (board->hid) {
            s.out() << "found HID board: VID " << HexStr(board->vendorId, 4) << " PID "
                    << HexStr(board->productId, 4) << " release " << HexStr(board->release, 4)
                    << ", report length " << board->reportLength << '\n';
        } else {
            s.out() << "found bulk board " << board->deviceName << ": VID "
                    << HexStr(board->vendorId, 4) << " PID " << HexStr(board->productId, 4)
                    << ", pipes IN " << HexStr(board->pipeIn, 2) << " OUT "
                    << HexStr(board->pipeOut, 2) << ", packet size " << board->packetSize << '\n';
        }
        s.out() << "board info: " << board->info << '\n';
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
        const auto bytes = headless::ReadChipBytes(s.bench(), address_, count_);
        if (!bytes) return s.Fail(bytes.failure());
        s.out() << HexBytes(bytes->data(), bytes->size()) << '\n';
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
        std::vector<headless::TypedNumber> bytes;
        for (int byte : bytes_) bytes.push_back({byte, std::to_string(byte)});
        return s.Check(headless::WriteChipBytes(s.bench(), address_, bytes));
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
        const auto readBack = headless::WriteChipRegister(s.bench(), address_, value_);
        if (!readBack) return s.Fail(readBack.failure());
        s.out() << HexStr(*readBack, 2) << '\n';
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
