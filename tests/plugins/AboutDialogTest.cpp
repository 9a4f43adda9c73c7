// The About box of both libraries: shown over a widget application, refused
// without one, found only beside the library that shows it.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

struct AboutCase {
    const Plugin& (*plugin)();
    const char* firstLine;
};

const AboutCase kAboutCases[] = {
    {WavePlugin, "File Format Library for WAVE Files"},
    {Mp3Plugin, "File Format Library for MP3 Files"},
};

TEST(AboutDialog, RefusedWithoutApplication)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    for (const AboutCase& c : kAboutCases) {
        EXPECT_EQ(c.plugin().About(nullptr, c.plugin().module), 7);
    }
}

TEST(AboutDialog, RefusedWithoutWidgets)
{
    int argc = 1;
    char name[] = "about-test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    for (const AboutCase& c : kAboutCases) {
        EXPECT_EQ(c.plugin().About(nullptr, c.plugin().module), 7);
    }
}

TEST(AboutDialog, ShownModallyOverItsParentUntilOk)
{
    int argc = 1;
    char name[] = "about-test";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QWidget parent;
    parent.show();

    for (const AboutCase& c : kAboutCases) {
        SCOPED_TRACE(c.firstLine);
        QString title;
        QStringList lines;
        QWidget* dialogParent = nullptr;
        bool clicked = false;
        // Polls until the dialog's own loop runs, then presses its button.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr) {
                return;
            }
            closer.stop();
            title = dialog->windowTitle();
            dialogParent = dialog->parentWidget();
            for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                lines << label->text();
            }
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->text() == QStringLiteral("OK")) {
                    clicked = true;
                    button->click();
                }
            }
            if (!clicked) {
                dialog->close();
            }
        });
        closer.start(0);
        EXPECT_EQ(c.plugin().About(&parent, c.plugin().module), 0);
        EXPECT_EQ(title, QStringLiteral("About"));
        EXPECT_EQ(lines, (QStringList{QString::fromUtf8(c.firstLine), QStringLiteral("Version 1.0")}));
        EXPECT_EQ(dialogParent, &parent);
        EXPECT_TRUE(clicked);
    }
    // Without a parent the box still comes up.
    bool shown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            closer.stop();
            shown = dialog->parentWidget() == nullptr;
            dialog->close();
        }
    });
    closer.start(0);
    EXPECT_EQ(WavePlugin().About(nullptr, WavePlugin().module), 0);
    EXPECT_TRUE(shown);
}

// Each case loads its own copy of the WAVE library from a folder of its own,
// with the About box library beside it in a different state.
TEST(AboutDialog, TakesTheAboutBoxLibraryFromItsOwnFolderOnly)
{
    enum class Beside { Copy, Nothing, LibraryWithoutEntryPoint, NotALibrary, CopyButLoadedByRelativePath };
    struct Case {
        const char* name;
        Beside beside;
        int32_t result;
    };
    const Case cases[] = {
        {"a copy of the About box library", Beside::Copy, 0},
        {"nothing", Beside::Nothing, 7},
        {"a library without the entry point", Beside::LibraryWithoutEntryPoint, 7},
        {"a file that is no library", Beside::NotALibrary, 7},
        // Read against today's working folder, a relative path could name
        // another folder's file: refused rather than guessed.
        {"a copy, the plug-in loaded by a relative path", Beside::CopyButLoadedByRelativePath, 7},
    };

    int argc = 1;
    char name[] = "about-test";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    namespace fs = std::filesystem;
    const fs::path workingFolder = fs::current_path();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::string box = folder.File("liborvano-about.so");
        fs::copy_file(PluginPath("AUDFFWAV.so"), folder.File("AUDFFWAV.so"));
        switch (c.beside) {
        case Beside::Copy:
        case Beside::CopyButLoadedByRelativePath:
            fs::copy_file(PluginPath("liborvano-about.so"), box);
            break;
        case Beside::Nothing:
            break;
        case Beside::LibraryWithoutEntryPoint:
            fs::copy_file(PluginPath("AUDFFMP3.so"), box);
            break;
        case Beside::NotALibrary:
            ASSERT_TRUE(WriteText(box, "not a shared object\n"));
            break;
        }

        void* module = nullptr;
        if (c.beside == Beside::CopyButLoadedByRelativePath) {
            fs::current_path(folder.Path());
            module = dlopen("./AUDFFWAV.so", RTLD_NOW | RTLD_LOCAL);
            fs::current_path(workingFolder);
        } else {
            module = dlopen(folder.File("AUDFFWAV.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        ASSERT_NE(module, nullptr) << dlerror();
        const auto about = reinterpret_cast<AUDFF_PFN_About>(dlsym(module, "AUDFF_About"));
        ASSERT_NE(about, nullptr);

        // A box that comes up is closed, so a wrong one fails instead of
        // waiting for a click.
        int shown = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ++shown;
                dialog->close();
            }
        });
        closer.start(0);
        EXPECT_EQ(about(nullptr, module), c.result);
        EXPECT_EQ(shown, c.result == 0 ? 1 : 0);
    }
}

} // namespace
