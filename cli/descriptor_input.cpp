#include "cli/descriptor_input.h"

#include "cli/system_io.h"

namespace kelvora::cli {
namespace {

class DescriptorInput final : public Input {
  public:
    explicit DescriptorInput(int fd) : fd_(fd) {}
    std::optional<std::string> ReadLine(std::string_view /*prompt*/, bool secret) override {
        return secret ? ReadSecretFdLine(fd_) : ReadFdLine(fd_);
    }

  private:
    int fd_;
};

}  // namespace

std::optional<std::string> ReadFdLine(int fd) {
    // Room enough that a PIN is never copied to a larger buffer, leaving the old one behind.
    constexpr std::size_t kLineRoom = 256;
    std::string line;
    line.reserve(kLineRoom);
    char c = 0;
    for (;;) {
        const ByteRead got = ReadFdByte(fd, c);
        if (got == ByteRead::kInterrupted) {
            return std::nullopt;
        }
        if (got == ByteRead::kEnd) {
            return line.empty() ? std::nullopt : std::optional<std::string>(std::move(line));
        }
        if (c == '\n') {
            break;
        }
        line += c;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::unique_ptr<Input> MakeDescriptorInput(int fd) {
    return std::make_unique<DescriptorInput>(fd);
}

}  // namespace kelvora::cli
