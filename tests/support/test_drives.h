#pragma once
// The drive letters of the tests' Wine prefix (B: E: F: G: H:, each a folder
// of the build, removable), which tests fill with simulated iPods.
#include <optional>
#include <string>

namespace testing_support {

extern const wchar_t* const kTestDrives[5];   // "B:" ... "H:"

// Removes everything from the drive's folder but the prefix's label file.
void EmptyDrive(const wchar_t* drive);
void EmptyTestDrives();
// A sample iPod without media files on `root` ("E:\"); no DeviceInfo when
// `name` is empty.
bool MakeIpod(const wchar_t* root, int tracks, std::optional<std::wstring> name);

}  // namespace testing_support
