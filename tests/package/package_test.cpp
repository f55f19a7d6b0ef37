// The Debian packages ostrak-installer and ostrak-publisher, built with cpack
// from this build tree into a temporary folder, checked by lintian, and
// installed with dpkg into a scratch root where their files are looked at
// and their programs run.
#include "support/HttpServers.h"
#include "support/ScriptedHttpPeer.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace ostrak;
namespace fs = std::filesystem;

namespace {

struct Package {
    std::string Name;
    std::set<std::string> Files; // every file it installs, below the root
};

const std::vector<Package>& ListedPackages() {
    static const std::vector<Package> packages = {
        {"ostrak-installer",
         {"/usr/bin/ostrak_install", "/usr/share/applications/ostrak-installer.desktop",
          "/usr/share/icons/hicolor/scalable/apps/ostrak-installer.svg",
          "/usr/share/icons/hicolor/48x48/apps/ostrak-installer.png",
          "/usr/share/icons/hicolor/256x256/apps/ostrak-installer.png",
          "/usr/share/man/man6/ostrak_install.6.gz", "/usr/share/doc/ostrak-installer/copyright",
          "/usr/share/doc/ostrak-installer/changelog.gz"}},
        {"ostrak-publisher",
         {"/usr/bin/ostrak_release", "/usr/bin/ostrak_fetch",
          "/usr/share/man/man1/ostrak_release.1.gz", "/usr/share/man/man1/ostrak_fetch.1.gz",
          "/usr/share/doc/ostrak-publisher/copyright",
          "/usr/share/doc/ostrak-publisher/changelog.gz",
          "/usr/share/doc/ostrak-publisher/examples/ostrak-site.nginx"}},
    };
    return packages;
}

std::string BinaryDir() {
    return OSTRAK_PACKAGE_BUILD_DIR;
}

// The stdout of a tool that must succeed.
std::string Output(const std::vector<std::string>& argv) {
    const ProcessResult r = RunProcess(argv);
    EXPECT_EQ(r.ExitCode, 0) << argv[0] << " " << (argv.size() > 1 ? argv[1] : "") << "\n"
                             << r.Out << r.Err;
    return r.Out;
}

// Runs cpack on this build tree; returns the path of each listed package's
// .deb file in folder, in the order of ListedPackages().
std::vector<std::string> BuildPackages(const TempDir& folder) {
    const ProcessResult r =
        RunProcess({"cpack", "--config", BinaryDir() + "/CPackConfig.cmake", "-B", folder.Path()},
                   ProcessOptions().InFolder(BinaryDir()), 120000);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    std::string arch = Output({"dpkg", "--print-architecture"});
    arch.erase(arch.find_last_not_of('\n') + 1);
    std::vector<std::string> debs;
    for (const Package& p : ListedPackages()) {
        debs.push_back(folder.File(p.Name + "_" + OSTRAK_PACKAGE_VERSION + "_" + arch + ".deb"));
        EXPECT_TRUE(fs::is_regular_file(debs.back())) << debs.back() << "\n" << r.Out;
    }
    return debs;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Field(const std::string& deb, const std::string& name) {
    std::string value = Output({"dpkg-deb", "-f", deb, name});
    value.erase(value.find_last_not_of('\n') + 1);
    return value;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// Replaces the one occurrence of from in text; fails the test when there is none.
void ReplaceOnce(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << "no \"" << from << "\" in\n" << text;
    text.replace(at, from.size(), to);
}

// nginx running the example site unchanged but for its port (127.0.0.1 and a
// free one) and its root.
class ExampleSite : public ServerProcess {
public:
    ExampleSite(std::string site, const std::string& root) {
        Port_ = FreeLoopbackPort();
        ReplaceOnce(site, "listen 80;", "listen 127.0.0.1:" + std::to_string(Port_) + ";");
        ReplaceOnce(site, "listen [::]:80;", "");
        ReplaceOnce(site, "root /srv/ostrak;", "root " + root + ";");
        const std::string conf = Work() + "/nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process off;\nerror_log stderr;\n"
                            << "pid " << Work() << "/nginx.pid;\nevents {}\nhttp {\n"
                            << "access_log off;\nclient_body_temp_path " << Work() << "/body;\n"
                            << "proxy_temp_path " << Work() << "/proxy;\n"
                            << "fastcgi_temp_path " << Work() << "/fastcgi;\n"
                            << "uwsgi_temp_path " << Work() << "/uwsgi;\n"
                            << "scgi_temp_path " << Work() << "/scgi;\n"
                            << site << "\n}\n";
        Launch({"/usr/sbin/nginx", "-p", Work(), "-e", "stderr", "-c", conf});
    }
};

} // namespace

TEST(Packages, ControlFieldsAndLintianFindNoErrors) {
    TempDir out;
    const std::vector<std::string> debs = BuildPackages(out);
    ASSERT_FALSE(HasFailure());
    const std::string installer = debs[0], publisher = debs[1];

    for (const std::string& deb : debs)
        EXPECT_EQ(Field(deb, "Version"), OSTRAK_PACKAGE_VERSION) << deb;
    // The installer's libraries come from dpkg-shlibdeps, beside the fonts
    // its window is laid out for; the publisher's tools never need QtWidgets.
    const std::string installerDepends = Field(installer, "Depends");
    EXPECT_TRUE(Contains(installerDepends, "fonts-liberation")) << installerDepends;
    EXPECT_TRUE(Contains(installerDepends, "libqt6widgets6")) << installerDepends;
    EXPECT_TRUE(Contains(installerDepends, "libc6 (>=")) << installerDepends;
    EXPECT_EQ(Field(installer, "Recommends"), "wine");
    const std::string publisherDepends = Field(publisher, "Depends");
    EXPECT_TRUE(Contains(publisherDepends, "libqt6core6")) << publisherDepends;
    EXPECT_FALSE(Contains(publisherDepends, "libqt6widgets6")) << publisherDepends;
    EXPECT_FALSE(Contains(publisherDepends, "fonts-liberation")) << publisherDepends;

    // Errors fail the test; warnings are printed for the record.
    const ProcessResult lint =
        RunProcess({"lintian", "--no-cfg", installer, publisher}, {}, 240000);
    EXPECT_EQ(lint.ExitCode, 0) << lint.Out << lint.Err;
    for (const std::string& line : Lines(lint.Out)) {
        EXPECT_FALSE(StartsWith(line, "E: ")) << line;
        if (StartsWith(line, "W: "))
            std::cout << "lintian: " << line << "\n";
    }
    EXPECT_FALSE(Contains(lint.Err, "E: ")) << lint.Err;
}

TEST(Packages, InstalledIntoAScratchRootTheyHoldTheListedFilesAndWork) {
    TempDir out;
    const std::vector<std::string> debs = BuildPackages(out);
    ASSERT_FALSE(HasFailure());

    // A scratch root with an empty package database. The packages' library
    // and font dependencies are not installed there, hence --force-depends;
    // --force-not-root and --force-bad-path let a developer run this without
    // being root (and without ldconfig on the PATH); the packages have no
    // maintainer scripts to run.
    TempDir scratch;
    const std::string root = scratch.File("root");
    const std::string admin = root + "/var/lib/dpkg";
    fs::create_directories(admin + "/info");
    fs::create_directories(admin + "/updates");
    scratch.Write("root/var/lib/dpkg/status", "");
    std::vector<std::string> install = {"dpkg",
                                        "--root=" + root,
                                        "--log=" + scratch.File("dpkg.log"),
                                        "--force-not-root",
                                        "--force-bad-path",
                                        "--force-depends",
                                        "-i"};
    install.insert(install.end(), debs.begin(), debs.end());
    const ProcessResult installed = RunProcess(install, {}, 60000);
    ASSERT_EQ(installed.ExitCode, 0) << installed.Out << installed.Err;

    // Each package holds exactly its listed files, and they are there.
    for (const Package& p : ListedPackages()) {
        std::set<std::string> files;
        for (const std::string& path : Lines(Output({"dpkg", "--root=" + root, "-L", p.Name})))
            if (!path.empty() && !fs::is_directory(root + path))
                files.insert(path);
        EXPECT_EQ(files, p.Files) << p.Name;
        for (const std::string& path : p.Files)
            EXPECT_TRUE(fs::is_regular_file(root + path)) << path;
    }

    // The programs run from there, with every library found.
    const std::string bin = root + "/usr/bin/";
    for (const char* program : {"ostrak_install", "ostrak_release", "ostrak_fetch"})
        EXPECT_FALSE(Contains(Output({"ldd", bin + program}), "not found")) << program;
    struct Call {
        std::vector<std::string> Argv;
        int Exit;
        const char* Says;
    };
    const Call calls[] = {
        {{bin + "ostrak_release", "--help"}, 0, "Usage:"},
        {{bin + "ostrak_release"}, 2, "Usage:"},
        {{bin + "ostrak_release", "--version"}, 0, "ostrak_release " OSTRAK_PACKAGE_VERSION "\n"},
        {{bin + "ostrak_fetch", "--version"}, 0, "ostrak_fetch " OSTRAK_PACKAGE_VERSION "\n"},
        {{bin + "ostrak_fetch", "--help"}, 0, "Usage: ostrak_fetch"},
        {{bin + "ostrak_fetch", "127.0.0.1:8080"}, 2, "Usage: ostrak_fetch"},
        {{bin + "ostrak_fetch", "127.0.0.1:99999", "/crc/dta.lst"}, 2, "ostrak_fetch: "},
    };
    for (const Call& c : calls) {
        const ProcessResult r = RunProcess(c.Argv, {}, 20000);
        EXPECT_EQ(r.ExitCode, c.Exit) << c.Argv.back() << "\n" << r.Out << r.Err;
        EXPECT_TRUE(Contains(r.Out + r.Err, c.Says)) << c.Argv.back() << "\n" << r.Out << r.Err;
    }

    // The menu entry validates and starts the installed program by name.
    const std::string entry = root + "/usr/share/applications/ostrak-installer.desktop";
    const ProcessResult valid = RunProcess({"desktop-file-validate", entry});
    EXPECT_EQ(valid.ExitCode, 0);
    EXPECT_EQ(valid.Out + valid.Err, "");
    const std::string entryText = TempDir::Read(entry);
    EXPECT_TRUE(Contains(entryText, "\nExec=ostrak_install\n")) << entryText;
    EXPECT_TRUE(Contains(entryText, "\nCategories=Game;\n")) << entryText;

    // Every page renders without a warning; the installer's names the
    // built-in server host, as does the example site.
    struct Page {
        const char* Path;
        const char* Says;
    };
    const Page pages[] = {
        {"/usr/share/man/man6/ostrak_install.6.gz", OSTRAK_PACKAGE_HOST},
        {"/usr/share/man/man1/ostrak_release.1.gz", "ostrak_release --dump LIST"},
        {"/usr/share/man/man1/ostrak_fetch.1.gz", "ostrak_fetch HOST[:PORT] PATH [FILE]"},
    };
    for (const Page& page : pages) {
        const ProcessResult man =
            RunProcess({"man", "--warnings", "-E", "UTF-8", "-l", root + page.Path},
                       ProcessOptions()
                           .SetEnv("LC_ALL", "C.UTF-8")
                           .SetEnv("MANWIDTH", "80")
                           .UnsetEnv("MANPAGER")
                           .UnsetEnv("PAGER"));
        EXPECT_EQ(man.ExitCode, 0) << page.Path;
        EXPECT_EQ(man.Err, "") << page.Path;
        EXPECT_TRUE(Contains(man.Out, page.Says)) << page.Path << "\n" << man.Out;
    }
    const std::string site =
        TempDir::Read(root + "/usr/share/doc/ostrak-publisher/examples/ostrak-site.nginx");
    EXPECT_TRUE(Contains(site, std::string("server_name ") + OSTRAK_PACKAGE_HOST + ";")) << site;

    // The example site serves a tree that the installed ostrak_release
    // wrote, byte for byte, as the installed ostrak_fetch sees it, and
    // nothing outside /crc/.
    TempDir release;
    fs::create_directory(release.File("source"));
    for (const char* name :
         {"ostrak.exe", "CGZipLibrary.dll", "gdiplus.dll", "Unzip32.dll", "maps.dat", "music1.ogg"})
        release.Write(std::string("source/") + name, std::string("MZ bytes of ") + name);
    Output({bin + "ostrak_release", release.File("source"), release.File("tree"), "--seed", "7"});
    release.Write("tree/notes.txt", "not served");
    ExampleSite server(site, release.File("tree"));
    ASSERT_FALSE(HasFailure());
    const std::string crc = release.File("tree/crc/");
    EXPECT_EQ(Output({bin + "ostrak_fetch", server.Address(), "/crc/index.php?h=3"}),
              TempDir::Read(crc + "index.php"));
    for (const char* name : {"dta.lst", "maps.dat", "music1.ogg", "gdiplus.dll"}) {
        Output({bin + "ostrak_fetch", server.Address(), std::string("/crc/") + name,
                release.File(name)});
        EXPECT_EQ(TempDir::Read(release.File(name)), TempDir::Read(crc + name)) << name;
    }
    for (const char* path : {"/", "/notes.txt", "/crc/", "/crc/missing.dat"}) {
        const ProcessResult r = RunProcess({bin + "ostrak_fetch", server.Address(), path});
        EXPECT_EQ(r.ExitCode, 1) << path << "\n" << r.Out << r.Err;
        EXPECT_EQ(r.Out, "") << path;
    }
}
