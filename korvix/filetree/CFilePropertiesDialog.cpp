#include "filetree/CFilePropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString permissionText(QFile::Permissions p)
{
    const struct {
        QFile::Permission bit;
        char letter;
    } bits[] = {{QFile::ReadOwner, 'r'},  {QFile::WriteOwner, 'w'}, {QFile::ExeOwner, 'x'},
                {QFile::ReadGroup, 'r'},  {QFile::WriteGroup, 'w'}, {QFile::ExeGroup, 'x'},
                {QFile::ReadOther, 'r'},  {QFile::WriteOther, 'w'}, {QFile::ExeOther, 'x'}};
    QString out;
    for (const auto& b : bits)
        out += (p & b.bit) ? QLatin1Char(b.letter) : QLatin1Char('-');
    return out;
}

QString dateText(const QDateTime& t)
{
    return t.isValid() ? QLocale(QLocale::German).toString(t, QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QStringLiteral("–");
}

// The program's own file types by name; others as the desktop's type
// database describes them, in German like the rest of the dialog.
QString typeText(const QFileInfo& info)
{
    const QString ext = info.suffix().toLower();
    if (ext == QLatin1String("qrb") || ext == QLatin1String("mod"))
        return QStringLiteral("QORB-Volume");
    if (ext == QLatin1String("tex"))
        return QStringLiteral("Tarvos-Textur");
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    if (mime.isDefault())
        return QStringLiteral("Datei");
    // The database picks the comment's language by the default locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString comment = mime.comment();
    QLocale::setDefault(saved);
    return comment;
}

}  // namespace

CFilePropertiesDialog::CFilePropertiesDialog(const QString& path, QWidget* parent) : QDialog(parent)
{
    const QFileInfo info(path);
    setWindowTitle(QStringLiteral("Eigenschaften von %1").arg(info.fileName().isEmpty() ? path : info.fileName()));
    const QLocale german(QLocale::German);
    QString type;
    if (info.isSymLink())
        type = QStringLiteral("Verknüpfung auf %1").arg(info.symLinkTarget());
    else if (info.isDir())
        type = QStringLiteral("Ordner");
    else
        type = typeText(info);
    m_rows = {
        {QStringLiteral("Name:"), info.fileName().isEmpty() ? path : info.fileName()},
        {QStringLiteral("Typ:"), type},
        {QStringLiteral("Ort:"), info.absolutePath()},
        {QStringLiteral("Größe:"), info.isDir() ? QStringLiteral("–")
                                                : QStringLiteral("%1 Bytes").arg(german.toString(info.size()))},
        {QStringLiteral("Erstellt:"), dateText(info.birthTime())},
        {QStringLiteral("Geändert:"), dateText(info.lastModified())},
        {QStringLiteral("Letzter Zugriff:"), dateText(info.lastRead())},
        {QStringLiteral("Rechte:"), permissionText(info.permissions())},
        {QStringLiteral("Besitzer:"), info.owner() + QLatin1Char(':') + info.group()},
    };
    auto* form = new QFormLayout;
    for (const auto& [label, value] : m_rows) {
        auto* v = new QLabel(value, this);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, v);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
