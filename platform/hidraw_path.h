// The interface path Linux discovery and device notifications give a hidraw node: the node,
// '#', and "vid_VVVV&pid_PPPP" (vendor digits in lower case, product digits in upper case,
// as in the device paths of Windows).
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// `devpath` is the node's sysfs path, whose HID parent is named "BBBB:VVVV:PPPP.NNNN" by the
// kernel (".../0003:4B56:2B03.0005/hidraw/hidraw0"). Read from the path alone, so it works for
// removals too, when the sysfs entries are already gone. Without such a parent the path is
// the node alone.
std::string HidrawInterfacePath(std::string_view devnode, std::string_view devpath);

}  // namespace kelvora
