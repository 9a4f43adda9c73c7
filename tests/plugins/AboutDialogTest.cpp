// The About box of both libraries: shown over a widget application, refused
// without one.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

using namespace plugintest;

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

} // namespace
