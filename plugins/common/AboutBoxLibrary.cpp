// liborvano-about.so: the About box the file format libraries show.
#include "AboutBoxLibrary.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

extern "C" __attribute__((visibility("default"))) int32_t OrvanoAbout_Run(void* parentWindow, const char* caption,
                                                                          const char* firstLine,
                                                                          const char* secondLine)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        return 0;
    }
    // Nothing may leave through the C interface, not even bad_alloc.
    try {
        QDialog dialog(static_cast<QWidget*>(parentWindow));
        dialog.setWindowTitle(QString::fromUtf8(caption));
        dialog.setModal(true);
        auto* layout = new QVBoxLayout(&dialog);
        auto* first = new QLabel(QString::fromUtf8(firstLine), &dialog);
        auto* second = new QLabel(QString::fromUtf8(secondLine), &dialog);
        first->setAlignment(Qt::AlignHCenter);
        second->setAlignment(Qt::AlignHCenter);
        auto* okButton = new QPushButton(QStringLiteral("OK"), &dialog);
        okButton->setDefault(true);
        QObject::connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(okButton, 0, Qt::AlignHCenter);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        dialog.exec();
        return 1;
    } catch (...) {
        return 0;
    }
}
