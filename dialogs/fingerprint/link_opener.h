// Opens a web page in the user's browser. Behind an interface so that tests see which page
// a window asked for without starting a browser.
#pragma once

#include <string>

namespace kelvora {

class LinkOpener {
  public:
    virtual ~LinkOpener() = default;
    // `url` is an absolute https address. False when the system could not open it.
    virtual bool Open(const std::string& url) = 0;
};

// The platform's own: the shell's "open" verb on Windows, the desktop's URL handler on Linux.
LinkOpener& SystemLinkOpener();

}  // namespace kelvora
