#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_io.h"

namespace tandrel {

/** Gives each test a fresh home: HOME and XDG_CONFIG_HOME point into a new temporary folder,
    so the settings file, the documents folder and the storage folder all start empty. The
    storage folder kept by an earlier test is forgotten. */
class SettingsTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    /** The temporary folder (HOME). */
    const std::string& Home() const { return home_; }
    /** The settings file path the store should use. */
    std::string SettingsFile() const { return home_ + "/config/Halvern/Tandrel.conf"; }
    /** Replaces the settings file with `content`. */
    void WriteSettingsFile(const std::string& content) const;

  private:
    std::string home_;
    std::string savedHome_, savedConfig_;
    bool hadHome_ = false, hadConfig_ = false;
};

/** Writes `content` to `path`, creating nothing else. */
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);

/** Result of running the probe program in a second process. */
struct ProbeResult
{
    int exitCode = -1;
    std::string output;
};
/** Runs settings_probe with `arguments`, inheriting this process's environment. */
ProbeResult RunProbe(const std::vector<std::string>& arguments);

} // namespace tandrel
