#pragma once

// One instance of an application at a time (qel.single.instance): the first
// launcher of a properties file in a user's session holds a named mutex for as
// long as it runs and publishes its process id; a second start of the same
// properties file in the same session finds the mutex, brings the windows of
// the VM the first launcher started to the front and starts no VM (what
// becomes of its arguments: instance_relay.h). The rules here decide;
// single_instance_win.cpp holds the objects.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "base/processes.h"
#include "base/wstring.h"

namespace qel {

// The names of the kernel objects of one properties file in the session's own
// namespace ("Local\"): the mutex, and the shared memory that holds the first
// launcher's process id. Derived from the file's key (singleInstanceKey) or,
// failing that, its full path, without regard to the case of A to Z or the kind
// of slash, as a hash (a path may be longer than an object's name, and holds
// backslashes, which a name may not).
struct SingleInstanceNames {
    WString mutex;
    WString launcherId;
};
SingleInstanceNames singleInstanceNames(std::wstring_view propertiesFullPath);

// The security of the kernel objects of one instance (the mutex, the shared
// memory with the first launcher's id, the relay's address and token), as a
// descriptor's text: the user and SYSTEM only, nothing inherited. A section
// made with the default descriptor could be read by every local process.
WString instanceObjectDescriptor(std::wstring_view userSid);

// The key of a properties file, for singleInstanceNames: the file's final path
// as Windows gives it for an open handle (symbolic links, junctions and drive
// letters of other folders resolved), in one spelling whatever the volume's
// kind: "\\?\C:\..." as "C:\...", "\\?\UNC\server\share\..." as
// "\\server\share\...", an NT name ("\Device\...") as given, and then
// upper-cased with upperCase, which is to be the system's table: Windows
// compares names case-insensitively by it, beyond A to Z ("é" and "É" name one
// folder).
WString singleInstanceKey(std::wstring_view finalPath, const std::function<WString(std::wstring_view)>& upperCase);

// A top-level window as the window list gives it, topmost first.
struct TopLevelWindow {
    std::uintptr_t handle = 0;
    std::uint32_t processId = 0;
    bool visible = false;
    // Owned windows (dialogs, tool windows) come to the front with their owner.
    bool owned = false;
    // A dialog box (window class "#32770"), as a message box is.
    bool dialog = false;
};

// The windows to bring to the front, in the order to raise them from the last
// to the first, so that the first ends in front: the launcher's own visible
// dialog boxes (the message box it shows, the error or the download offer), then
// the visible, unowned top-level windows of the processes the first launcher
// started (its VM), topmost first. The launcher's other windows (a console it
// opened) stay where they are.
std::vector<std::uintptr_t> windowsOfFirstInstance(const std::vector<TopLevelWindow>& windows,
                                                   const std::vector<ProcessEntry>& processes,
                                                   std::uint32_t firstLauncherId);

}  // namespace qel
