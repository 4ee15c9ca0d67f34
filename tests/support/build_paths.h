// Where the build put what some tests run or read. They are defined in one
// file the build generates (tests/CMakeLists.txt, tests/gui/CMakeLists.txt),
// so no other test object names a folder of the tree and ccache serves a
// clone in any folder.
#pragma once

namespace tavrine::testing {

extern const char* const kScriptExe;   // the driver, tavrine-script
extern const char* const kManualDir;   // docs/manual
extern const char* const kTlsDir;      // the test certificates
extern const char* const kProgramExe;  // the window's program (window tests only)

}  // namespace tavrine::testing
