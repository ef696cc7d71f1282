// The install as a user gets it: the Debian package that cpack makes from this build tree, what
// it holds, and the program unpacked from it, started from its own tree. The chime at noon
// shows that the unpacked program finds its sounds beside itself, not in the build tree.
// Then the README's own install commands, read from the README and run as a user would run
// them, in a fresh build tree with the user's compiler settings rather than ours.
#include "running_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

namespace reloj::e2e {
namespace {

namespace fs = std::filesystem;

// Longer than any tool takes; the test's own time limit ends a hung one first.
constexpr auto kToolTimeout = 10min;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

struct Outcome {
    int status = -1; // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs a tool to its end, its output and errors kept apart, with standard input from a file
// when one is given. The tools are found on PATH, as a user would find them.
Outcome RunTool(const std::vector<std::string>& command, const std::string& input = "/dev/null",
                const std::map<std::string, std::string>& environment = InheritedEnvironment()) {
    Process tool({.command = command, .environment = environment, .input = input});
    return {tool.WaitForExit(kToolTimeout).value_or(-1), tool.Output(), tool.ErrorOutput()};
}

void PrintTo(const Outcome& o, std::ostream* out) {
    *out << "status " << o.status << "\n--- stdout ---\n" << o.out << "--- stderr ---\n" << o.err;
}

// Waits until the program's error output holds the text, or the timeout has passed.
bool WaitForError(RunningClock& clock, const std::string& text,
                  std::chrono::milliseconds timeout) {
    PollUntil([&] { return Contains(clock.ErrorOutput(), text) || !clock.Running(); }, timeout,
              50ms);
    return Contains(clock.ErrorOutput(), text);
}

// The program at that path alone on its own X server, its clock starting two seconds before
// noon in a fixed zone, with every play request logged.
ClockOptions TwoSecondsBeforeNoon(const std::string& binary) {
    return {.binary = binary, .startsAt = "2026-12-08 11:59:58", .playLog = PlayLog::Plain};
}

std::vector<std::string> SoundNames() {
    std::vector<std::string> names;
    for (int hour = 1; hour <= 11; ++hour) {
        names.push_back(std::to_string(hour) + "am.wav");
    }
    names.push_back("24am.wav");
    for (int hour = 12; hour <= 23; ++hour) {
        names.push_back(std::to_string(hour) + "pm.wav");
    }
    names.push_back("media.wav");
    names.push_back("finreloj.wav");
    return names;
}

// The lines of a checker's report tagged as errors (E:) or warnings (W:), as lintian and
// appstreamcli tag them.
std::string ErrorsAndWarnings(const std::string& report) {
    std::string found;
    for (const std::string& line : Lines(report)) {
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) {
            found += line + "\n";
        }
    }
    return found;
}

// One package for the whole run: made once by cpack from this build tree, written to a
// temporary directory rather than the build tree, then unpacked into a temporary root.
class Install : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<TempDir>();
        const std::string packages = s_work->Path() + "/paquetes";
        s_cpack = RunTool({RELOJ_CPACK, "-G", "DEB", "--config", RELOJ_CPACK_CONFIG, "-B", packages});
        std::error_code none; // a failed cpack may leave no directory at all
        for (const auto& entry : fs::directory_iterator(packages, none)) {
            if (entry.path().extension() == ".deb") {
                s_deb = entry.path().string();
            }
        }
        s_root = s_work->Path() + "/raiz";
        if (!s_deb.empty()) {
            s_unpack = RunTool({"dpkg-deb", "-x", s_deb, s_root});
        }
    }

    static void TearDownTestSuite() { s_work.reset(); }

    void SetUp() override {
        ASSERT_EQ(s_cpack.status, 0) << ::testing::PrintToString(s_cpack);
        ASSERT_FALSE(s_deb.empty()) << "cpack made no .deb\n" << ::testing::PrintToString(s_cpack);
        ASSERT_EQ(s_unpack.status, 0) << ::testing::PrintToString(s_unpack);
    }

    static std::string Installed(const std::string& path) { return s_root + "/usr/" + path; }

    static std::unique_ptr<TempDir> s_work;
    static Outcome s_cpack;
    static Outcome s_unpack;
    static std::string s_deb;
    static std::string s_root;
};

std::unique_ptr<TempDir> Install::s_work;
Outcome Install::s_cpack;
Outcome Install::s_unpack;
std::string Install::s_deb;
std::string Install::s_root;

TEST_F(Install, PackageIsNamedAndDescribed) {
    EXPECT_EQ(fs::path(s_deb).filename().string().rfind("reloj_" RELOJ_PROJECT_VERSION "_", 0), 0u)
        << s_deb;
    const Outcome fields =
        RunTool({"dpkg-deb", "-f", s_deb, "Package", "Version", "Section", "Maintainer", "Depends"});
    ASSERT_EQ(fields.status, 0) << ::testing::PrintToString(fields);
    EXPECT_TRUE(Contains(fields.out, "Package: reloj\n")) << fields.out;
    EXPECT_TRUE(Contains(fields.out, "Version: " RELOJ_PROJECT_VERSION "\n")) << fields.out;
    EXPECT_TRUE(Contains(fields.out, "Section: utils\n")) << fields.out;
    EXPECT_TRUE(Contains(fields.out, "@example.org>")) << fields.out;
    // dpkg-shlibdeps read the program: every library it links is there, the Qt ones with the
    // least version the program needs.
    std::map<std::string, std::string> depends; // package -> version condition, if any
    const auto at = fields.out.find("Depends: ");
    ASSERT_NE(at, std::string::npos) << fields.out;
    std::istringstream list(fields.out.substr(at + 9, fields.out.find('\n', at) - at - 9));
    for (std::string item; std::getline(list, item, ',');) {
        item.erase(0, item.find_first_not_of(' '));
        const auto blank = item.find(' ');
        depends[item.substr(0, blank)] = blank == std::string::npos ? "" : item.substr(blank + 1);
    }
    for (const char* library : {"libqt6core6", "libqt6gui6", "libqt6widgets6"}) {
        EXPECT_EQ(depends[library].rfind("(>= 6.", 0), 0u) << library << "\n" << fields.out;
    }
    EXPECT_TRUE(depends.contains("libxcb1")) << fields.out;
    EXPECT_TRUE(depends.contains("libpulse0")) << fields.out;
    EXPECT_TRUE(depends.contains("libc6")) << fields.out;
}

TEST_F(Install, PackageHoldsTheProgramSoundsMenuEntryIconMetadataAndManual) {
    const Outcome listing = RunTool({"dpkg-deb", "-c", s_deb});
    ASSERT_EQ(listing.status, 0) << ::testing::PrintToString(listing);
    // Each line: mode, owner, size, date, time, path.
    std::map<std::string, std::string> files; // path -> mode and owner
    for (const std::string& line : Lines(listing.out)) {
        std::istringstream fieldsIn(line);
        std::string mode, owner, size, date, time, path;
        fieldsIn >> mode >> owner >> size >> date >> time >> path;
        if (!mode.empty() && mode[0] == '-') {
            files[path] = mode + " " + owner;
        }
    }
    EXPECT_EQ(files["./usr/bin/reloj"], "-rwxr-xr-x root/root") << listing.out;
    for (const std::string& name : SoundNames()) {
        EXPECT_EQ(files["./usr/share/reloj/sonidos/" + name], "-rw-r--r-- root/root") << name;
    }
    const auto sounds = std::count_if(files.begin(), files.end(), [](const auto& file) {
        return file.first.rfind("./usr/share/reloj/sonidos/", 0) == 0;
    });
    EXPECT_EQ(sounds, 26);
    for (const char* path :
         {"./usr/share/applications/reloj.desktop",
          "./usr/share/icons/hicolor/scalable/apps/reloj.svg", "./usr/share/man/man1/reloj.1.gz",
          "./usr/share/metainfo/" RELOJ_APP_ID ".metainfo.xml", "./usr/share/doc/reloj/copyright",
          "./usr/share/doc/reloj/changelog.gz"}) {
        EXPECT_EQ(files[path], "-rw-r--r-- root/root") << path << "\n" << listing.out;
    }
}

// Debian's own checker finds nothing wrong with the package: every error and warning fails, and
// the package carries no overrides.
TEST_F(Install, LintianFindsNoErrorOrWarning) {
    const Outcome check = RunTool({"lintian", "--fail-on", "error,warning", s_deb});
    ASSERT_NE(check.status, 127) << "lintian is missing (package lintian)";
    EXPECT_EQ(check.status, 0) << ::testing::PrintToString(check);
    EXPECT_EQ(ErrorsAndWarnings(check.out), "");
}

// The licence is stated the way Debian reads it, and the changelog is this version's, signed
// by the maintainer the package names.
TEST_F(Install, CopyrightAndChangelogNameThisVersionAndItsMaintainer) {
    const std::string copyright = ReadFile(Installed("share/doc/reloj/copyright"));
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/"
                              "copyright-format/1.0/\n",
                              0),
              0u)
        << copyright;
    EXPECT_TRUE(Contains(copyright, "\nLicense: GPL-3+\n")) << copyright;
    EXPECT_TRUE(Contains(copyright, "/usr/share/common-licenses/GPL-3")) << copyright;

    const Outcome changelog = RunTool({"gzip", "-dc", Installed("share/doc/reloj/changelog.gz")});
    ASSERT_EQ(changelog.status, 0) << ::testing::PrintToString(changelog);
    EXPECT_EQ(changelog.out.rfind("reloj (" RELOJ_PROJECT_VERSION ") ", 0), 0u) << changelog.out;
    const Outcome maintainer = RunTool({"dpkg-deb", "-f", s_deb, "Maintainer"});
    ASSERT_EQ(maintainer.status, 0) << ::testing::PrintToString(maintainer);
    ASSERT_FALSE(maintainer.out.empty());
    const std::string name = maintainer.out.substr(0, maintainer.out.find('\n'));
    EXPECT_TRUE(Contains(changelog.out, "\n -- " + name + "  ")) << changelog.out;
    EXPECT_TRUE(Contains(copyright, "Upstream-Contact: " + name + "\n")) << copyright;
}

// A software centre's view of the clock: the metadata is valid, names the menu entry the
// package installs, and speaks Spanish and English.
TEST_F(Install, SoftwareCentreMetadataIsValid) {
    const std::string metadata = Installed("share/metainfo/" RELOJ_APP_ID ".metainfo.xml");
    const Outcome check =
        RunTool({"appstreamcli", "validate", "--no-net", "--pedantic", "--no-color", metadata});
    ASSERT_NE(check.status, 127) << "appstreamcli is missing (package appstream)";
    EXPECT_EQ(check.status, 0) << ::testing::PrintToString(check);
    EXPECT_EQ(ErrorsAndWarnings(check.out), "");

    const std::string text = ReadFile(metadata);
    EXPECT_TRUE(Contains(text, "<id>" RELOJ_APP_ID "</id>")) << text;
    const std::string launchable = "<launchable type=\"desktop-id\">";
    const auto at = text.find(launchable);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string entry =
        text.substr(at + launchable.size(), text.find('<', at + 1) - at - launchable.size());
    EXPECT_TRUE(fs::exists(Installed("share/applications/" + entry))) << entry;
    EXPECT_TRUE(Contains(text, "<summary xml:lang=\"es\">")) << text;
    EXPECT_TRUE(Contains(text, "<p xml:lang=\"es\">")) << text;
    EXPECT_TRUE(Contains(text, "<content_rating type=\"oars-1.1\"")) << text;
    EXPECT_TRUE(Contains(text, "<release version=\"" RELOJ_PROJECT_VERSION "\"")) << text;
}

TEST_F(Install, UnpackedProgramStatesItsVersion) {
    RunningClock reloj({.binary = Installed("bin/reloj"), .arguments = {"--version"}});
    const Outcome version{reloj.WaitForExit(kToolTimeout).value_or(-1), reloj.Output(),
                          reloj.ErrorOutput()};
    EXPECT_EQ(version.status, 0) << ::testing::PrintToString(version);
    EXPECT_EQ(version.out, "reloj " RELOJ_PROJECT_VERSION "\n");
}

TEST_F(Install, MenuEntryIsValidAndNamesTheProgramAndIcon) {
    const std::string entry = Installed("share/applications/reloj.desktop");
    const Outcome check = RunTool({"desktop-file-validate", entry});
    ASSERT_NE(check.status, 127) << "desktop-file-validate is missing (package desktop-file-utils)";
    EXPECT_EQ(check.status, 0) << ::testing::PrintToString(check);
    EXPECT_EQ(check.out + check.err, "") << "warnings or hints";

    std::map<std::string, std::string> keys;
    for (const std::string& line : Lines(ReadFile(entry))) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            keys[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    EXPECT_EQ(keys["Name"], "Reloj");
    EXPECT_FALSE(keys["Comment"].empty());
    EXPECT_EQ(keys["Terminal"], "false");
    EXPECT_EQ(keys["Categories"], "Utility;Clock;");
    // The menu starts the installed program by name and shows the installed icon by name.
    EXPECT_EQ(keys["Exec"], "reloj");
    EXPECT_TRUE(fs::exists(Installed("bin/" + keys["Exec"])));
    EXPECT_EQ(keys["Icon"], "reloj");
    const std::string icon = ReadFile(Installed("share/icons/hicolor/scalable/apps/" +
                                                keys["Icon"] + ".svg"));
    EXPECT_EQ(icon.rfind("<?xml", 0), 0u);
    EXPECT_TRUE(Contains(icon, "<svg ") && Contains(icon, "</svg>")) << icon;
}

TEST_F(Install, ManualPageRendersWithoutWarnings) {
    const std::string page = s_work->Path() + "/reloj.1";
    const Outcome unzip = RunTool({"gzip", "-dc", Installed("share/man/man1/reloj.1.gz")});
    ASSERT_EQ(unzip.status, 0) << ::testing::PrintToString(unzip);
    std::ofstream(page) << unzip.out;

    // -k reads the page's UTF-8 as man does; -ww turns on every warning; -P-cbou gives plain
    // text to search.
    const Outcome render =
        RunTool({"groff", "-k", "-man", "-Tutf8", "-ww", "-P-cbou"}, page);
    ASSERT_NE(render.status, 127) << "groff is missing (package groff-base)";
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(render.err, "");
    for (const char* text : {"NOMBRE",
                             "SINOPSIS",
                             "DESCRIPCIÓN",
                             "LÍNEA DE ÓRDENES",
                             "OPCIONES",
                             "EJEMPLOS",
                             "COLORES",
                             "GESTOS",
                             "SONIDOS",
                             "ARCHIVOS",
                             "ESTADO DE SALIDA",
                             "ENTORNO",
                             "ERRORES",
                             "VÉASE TAMBIÉN",
                             "reloj " RELOJ_PROJECT_VERSION,
                             "reloj '100|50|200|2|0|'",
                             "--autostart",
                             "--no-autostart",
                             "autostart/reloj.desktop",
                             "XDG_CONFIG_HOME",
                             "XWayland",
                             "xclock(1)",
                             "oclock(1)",
                             "qbcolor(n)",
                             "rgb(r,g,b)",
                             "&hBBGGRR",
                             "12pm.wav",
                             "finreloj.wav",
                             "QT_LOGGING_RULES"}) {
        EXPECT_TRUE(Contains(render.out, text)) << text;
    }

    // The manual's index (apropos, whatis) finds the page's name and summary.
    const Outcome index = RunTool({"lexgrog", page});
    ASSERT_NE(index.status, 127) << "lexgrog is missing (package man-db)";
    EXPECT_EQ(index.status, 0) << ::testing::PrintToString(index);
    EXPECT_TRUE(Contains(index.out, "\"reloj - reloj analógico de escritorio")) << index.out;
}

TEST_F(Install, UnpackedProgramChimesNoonFromItsOwnSounds) {
    RunningClock reloj(TwoSecondsBeforeNoon(Installed("bin/reloj")));
    ASSERT_TRUE(reloj.Server().WaitForWindow(kMarkerTitle)) << reloj.ErrorOutput();
    EXPECT_TRUE(reloj.Server().WaitForWindow(kHandsTitle)) << reloj.ErrorOutput();
    EXPECT_TRUE(WaitForError(reloj, "reloj.sound: play 12pm.wav", 20s)) << reloj.ErrorOutput();
    EXPECT_FALSE(Contains(reloj.ErrorOutput(), "reloj.sound: missing")) << reloj.ErrorOutput();
    EXPECT_TRUE(reloj.Running()) << reloj.ErrorOutput();
    EXPECT_TRUE(reloj.Stop());
}

// The same program copied away from its sounds says that it misses them: without this, the
// absence of that line above would prove nothing.
TEST_F(Install, ProgramAwayFromItsSoundsSaysSo) {
    const TempDir elsewhere;
    fs::create_directory(elsewhere.Path() + "/bin");
    const std::string lone = elsewhere.Path() + "/bin/reloj";
    fs::copy_file(Installed("bin/reloj"), lone);

    RunningClock reloj(TwoSecondsBeforeNoon(lone));
    ASSERT_TRUE(reloj.Server().WaitForWindow(kMarkerTitle)) << reloj.ErrorOutput();
    EXPECT_TRUE(WaitForError(reloj, "reloj.sound: play 12pm.wav", 20s)) << reloj.ErrorOutput();
    EXPECT_TRUE(Contains(reloj.ErrorOutput(), "reloj.sound: missing " + elsewhere.Path() +
                                                  "/share/reloj/sonidos/12pm.wav"))
        << reloj.ErrorOutput();
}

// The README's install commands: the shell block under this heading, and its lines that run
// cmake, in the order a user types them.
constexpr const char* kReadme = RELOJ_SOURCE_DIR "/README.md";
constexpr const char* kInstallHeading = "## Install";
constexpr const char* kShellBlockStart = "```sh";
constexpr const char* kBlockEnd = "```";

// Variables that change how CMake configures, builds or installs when they are set in the
// environment: the compilers and their flags, CMake's own variables, and the staging directory
// of an install. A user's shell has none of ours, so none may reach the user's build from the
// test's environment.
const std::set<std::string> kBuildVariables = {"CC",       "CXX",     "CFLAGS",  "CXXFLAGS",
                                               "CPPFLAGS", "LDFLAGS", "DESTDIR", "MAKEFLAGS"};
constexpr const char* kCMakeVariablePrefix = "CMAKE_";

std::map<std::string, std::string> UserEnvironment() {
    auto environment = InheritedEnvironment();
    std::erase_if(environment, [](const auto& variable) {
        return variable.first.starts_with(kCMakeVariablePrefix) ||
               kBuildVariables.contains(variable.first);
    });
    return environment;
}

// The words of each line of the README's install block that starts with cmake; a comment at
// the end of a line is not part of the command.
std::vector<std::vector<std::string>> ReadmeInstallCommands() {
    std::vector<std::vector<std::string>> commands;
    bool inSection = false;
    bool inBlock = false;
    for (const std::string& line : Lines(ReadFile(kReadme))) {
        if (!inBlock && line.starts_with("## ")) {
            inSection = line == kInstallHeading;
        } else if (inSection && !inBlock && line == kShellBlockStart) {
            inBlock = true;
        } else if (inBlock && line.starts_with(kBlockEnd)) {
            break;
        } else if (inBlock) {
            std::istringstream in(line.substr(0, line.find('#')));
            std::vector<std::string> words;
            for (std::string word; in >> word;) {
                words.push_back(word);
            }
            if (!words.empty() && words[0] == "cmake") {
                commands.push_back(words);
            }
        }
    }
    return commands;
}

// Puts `value` in place of the word after `option` and gives back the word it replaced; nothing
// when the option is not there with a word after it.
std::optional<std::string> ReplaceAfter(std::vector<std::string>& words, const std::string& option,
                                        const std::string& value) {
    const auto at = std::find(words.begin(), words.end(), option);
    if (at == words.end() || at + 1 == words.end()) {
        return std::nullopt;
    }
    return std::exchange(*(at + 1), value);
}

bool Has(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// What a user does after reading the README: configure a fresh tree for a Release build with
// Ninja, build it, install it under a prefix, and start the program from there. Only the source
// directory, the build directory and the prefix are ours; everything else is the README's.
// Warnings must not stop this build (a user's compiler is not ours to know), yet the flags the
// geometry depends on must be in it.
TEST(ReadmeInstall, CommandsBuildInstallAndStartTheClock) {
    const std::vector<std::vector<std::string>> readme = ReadmeInstallCommands();
    ASSERT_EQ(readme.size(), 3u) << kReadme << ": the block under " << kInstallHeading
                                 << " should configure, build and install with cmake";
    std::vector<std::string> configure = readme[0];
    std::vector<std::string> build = readme[1];
    std::vector<std::string> install = readme[2];
    const TempDir work;
    const std::string tree = work.Path() + "/build";
    const std::string prefix = work.Path() + "/prefijo";
    ASSERT_TRUE(ReplaceAfter(configure, "-S", RELOJ_SOURCE_DIR)) << Joined(readme[0], " ");
    const auto configured = ReplaceAfter(configure, "-B", tree);
    ASSERT_TRUE(configured) << Joined(readme[0], " ");
    ASSERT_TRUE(Has(configure, "-DCMAKE_BUILD_TYPE=Release")) << Joined(readme[0], " ");
    ASSERT_TRUE(Has(configure, "Ninja")) << Joined(readme[0], " ");
    // The three commands must name one build tree, or putting ours in its place would change
    // what they mean.
    EXPECT_EQ(ReplaceAfter(build, "--build", tree), configured) << Joined(readme[1], " ");
    EXPECT_EQ(ReplaceAfter(install, "--install", tree), configured) << Joined(readme[2], " ");
    ASSERT_TRUE(ReplaceAfter(install, "--prefix", prefix)) << Joined(readme[2], " ");
    ASSERT_FALSE(HasFailure());

    for (const auto& command : {configure, build, install}) {
        const Outcome outcome = RunTool(command, "/dev/null", UserEnvironment());
        ASSERT_EQ(outcome.status, 0) << Joined(command, " ") << "\n"
                                     << ::testing::PrintToString(outcome);
        EXPECT_FALSE(Contains(outcome.out + outcome.err, "warning:"))
            << Joined(command, " ") << "\n"
            << ::testing::PrintToString(outcome);
    }
    const std::string rules = ReadFile(tree + "/build.ninja");
    EXPECT_FALSE(Contains(rules, "-Werror"));
    EXPECT_TRUE(Contains(rules, "-ffp-contract=off"));

    RunningClock reloj(TwoSecondsBeforeNoon(prefix + "/bin/reloj"));
    ASSERT_TRUE(reloj.Server().WaitForWindow(kMarkerTitle)) << reloj.ErrorOutput();
    EXPECT_TRUE(reloj.Server().WaitForWindow(kHandsTitle)) << reloj.ErrorOutput();
    // The installed program finds its sounds in the prefix.
    EXPECT_TRUE(WaitForError(reloj, "reloj.sound: play 12pm.wav", 20s)) << reloj.ErrorOutput();
    EXPECT_FALSE(Contains(reloj.ErrorOutput(), "reloj.sound: missing")) << reloj.ErrorOutput();
    EXPECT_TRUE(reloj.Stop()) << reloj.ErrorOutput();
    EXPECT_EQ(reloj.WaitForExit(0ms), 0) << reloj.ErrorOutput();
}

} // namespace
} // namespace reloj::e2e
