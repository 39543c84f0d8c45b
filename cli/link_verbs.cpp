// Verbs that talk to the board and the chip's memory: scan, read, write, reg.
#include "cli/verb.h"
#include "core/link/number_text.h"
#include "headless/link_operations.h"

namespace dmm::cli {
namespace {

int64_t Number(const std::string& text) {
    int64_t v = 0;
    ParseCliNumber(text, v);
    return v;
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
        app.add_option("ADDR", address_, "first chip address")->required()->check(CliNumber());
        app.add_option("COUNT", count_, "number of bytes (1..255)")->required()->check(CliNumber());
    }
    bool Run(Session& s) override {
        const auto bytes = headless::ReadChipBytes(s.bench(), Number(address_), Number(count_));
        if (!bytes) return s.Fail(bytes.failure());
        s.out() << HexBytes(bytes->data(), bytes->size()) << '\n';
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
        std::vector<headless::TypedNumber> bytes;
        for (const std::string& text : bytes_) bytes.push_back({Number(text), text});
        return s.Check(headless::WriteChipBytes(s.bench(), Number(address_), bytes));
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
        const auto readBack =
            headless::WriteChipRegister(s.bench(), Number(address_), Number(value_));
        if (!readBack) return s.Fail(readBack.failure());
        s.out() << HexStr(*readBack, 2) << '\n';
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
