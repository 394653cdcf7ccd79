#include "Dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace ui {

namespace {

QString Path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string Native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

bool AskOpenFile(CWnd* parent, std::string& path)
{
    const QString chosen = QFileDialog::getOpenFileName(parent);
    if (chosen.isEmpty())
        return false;
    path = Native(chosen);
    return true;
}

bool AskSaveFile(CWnd* parent, const SaveFileQuestion& question, std::string& path)
{
    QStringList filters;
    for (const auto& [name, pattern] : question.filters)
        filters << QString::fromStdString(name + " (" + pattern + ")");
    const QString chosen = QFileDialog::getSaveFileName(parent, QString::fromStdString(question.title),
                                                        QDir(Path(question.folder)).filePath(QString::fromStdString(question.name)),
                                                        filters.join(QStringLiteral(";;")));
    if (chosen.isEmpty())
        return false;
    path = Native(chosen);
    return true;
}

void OpenFolder(const std::string& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(Path(folder)));
}

void ShowWarning(CWnd* parent, const std::string& title, const std::string& text)
{
    QMessageBox::warning(parent, QString::fromStdString(title), QString::fromStdString(text));
}

} // namespace ui
