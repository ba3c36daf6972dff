// The waveform tests run widgets: one QApplication on Qt's offscreen platform for the whole
// program, made before any test.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt wants a private runtime folder; a test machine may have none.
    std::string runtime = (std::filesystem::temp_directory_path() / "tandrel-waveform-XXXXXX").string();
    if (!std::getenv("XDG_RUNTIME_DIR") && mkdtemp(runtime.data()))
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
