#include "cli/descriptor_input.h"

#include "cli/system_io.h"

namespace kelvora::cli {
namespace {

class DescriptorInput final : public Input {
  public:
    explicit DescriptorInput(int fd) : fd_(fd) {}
    std::optional<std::string> ReadLine(std::string_view /*prompt*/, bool /*secret*/) override {
        return ReadFdLine(fd_);
    }

  private:
    int fd_;
};

}  // namespace

std::optional<std::string> ReadFdLine(int fd) {
    std::string line;
    char c = 0;
    for (;;) {
        const ByteRead got = ReadFdByte(fd, c);
        if (got == ByteRead::kInterrupted) {
            return std::nullopt;
        }
        if (got == ByteRead::kEnd) {
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
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
