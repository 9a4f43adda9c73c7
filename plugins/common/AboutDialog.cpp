#include "AboutDialog.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace audff {

bool ShowAboutDialog(void* parentWindow, const char* firstLine, const char* secondLine)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        return false;
    }
    // Nothing may leave through the C interface, not even bad_alloc.
    try {
        QDialog dialog(static_cast<QWidget*>(parentWindow));
        dialog.setWindowTitle(QStringLiteral("About"));
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
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace audff
