#include "dialogs/CExportDialog.h"

#include "common/MessageTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSizeGrip>
#include <QSpinBox>
#include <QSplitter>
#include <QSplitterHandle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The type list's descriptions, each naming its own pattern, which is what
// the dialog matches.
QStringList typeDescriptions()
{
    QStringList out;
    for (const FileFilter& f : ExportDialogModel::fileFilters()) {
        QString text = QString::fromStdString(f.description);
        if (!text.contains(QLatin1Char('('))) {
            QStringList patterns;
            for (const std::string& p : f.patterns)
                patterns << QString::fromStdString(p);
            text += QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        }
        out << text;
    }
    return out;
}

}  // namespace

CExportDialog::CExportDialog(ExportDialogModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_pFiles(new QFileDialog(this)), m_pMaps(new QSpinBox(this)),
      m_pNoAlpha(new QCheckBox(QStringLiteral("Ohne Alpha"), this)), m_filters(typeDescriptions())
{
    setWindowTitle(QString::fromStdString(ExportDialogModel::title()));

    // The save dialog lives inside ours; its own buttons give way to the panel's.
    m_pFiles->setOption(QFileDialog::DontUseNativeDialog);
    m_pFiles->setOption(QFileDialog::DontConfirmOverwrite);
    m_pFiles->setWindowFlags(Qt::Widget);
    m_pFiles->setAcceptMode(QFileDialog::AcceptSave);
    m_pFiles->setFileMode(QFileDialog::AnyFile);
    m_pFiles->setNameFilters(m_filters);
    if (auto* box = m_pFiles->findChild<QDialogButtonBox*>())
        box->hide();
    // The file dialog's divider and size grip carry no names of their own.
    for (QSplitter* split : m_pFiles->findChildren<QSplitter*>())
        for (int i = 1; i < split->count(); ++i)
            split->handle(i)->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccSplitter)));
    for (QSizeGrip* grip : m_pFiles->findChildren<QSizeGrip*>())
        grip->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccSizeGrip)));
    const int type = m_model.fileType();
    if (type >= 0 && type < m_filters.size())
        m_pFiles->selectNameFilter(m_filters[type]);
    m_pFiles->selectFile(QString::fromStdString(m_model.fileName()));
    connect(m_pFiles, &QFileDialog::filterSelected, this,
            [this](const QString& filter) { selectType(static_cast<int>(m_filters.indexOf(filter))); });
    // Enter in the name box or a double click on a file means "Exportieren".
    connect(m_pFiles, &QFileDialog::accepted, this, [this] {
        m_pFiles->show();
        exportPressed();
    });

    auto* maps = new QGroupBox(QStringLiteral("Maps"), this);
    auto* mapsLayout = new QVBoxLayout(maps);
    auto* mapGroup = new QButtonGroup(this);
    const char* mapTexts[] = {"Nur größte Map", "Alles beibehalten", "Maps generieren"};
    for (int k = 0; k < 3; ++k) {
        m_mapRadios[static_cast<std::size_t>(k)] = new QRadioButton(QString::fromUtf8(mapTexts[k]), maps);
        mapGroup->addButton(m_mapRadios[static_cast<std::size_t>(k)], k);
        mapsLayout->addWidget(m_mapRadios[static_cast<std::size_t>(k)]);
    }
    m_pMaps->setRange(1, m_model.maxMaps());
    m_pMaps->setSuffix(QStringLiteral(" Map"));
    m_pMaps->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccMapsField)));
    mapsLayout->addWidget(m_pMaps);
    // Toggled, not clicked: assistive technology checks a radio button
    // without a click, and the choice must count all the same.
    connect(mapGroup, &QButtonGroup::idToggled, this, [this](int option, bool on) {
        if (!on)
            return;
        m_model.mapOptionClicked(option);
        draw();
    });
    connect(m_pMaps, &QSpinBox::valueChanged, this, [this](int v) {
        m_model.setMapsField(v);
        draw();
    });

    auto* formats = new QGroupBox(QStringLiteral("Format"), this);
    for (auto*& group : m_formatGroups)
        group = new QButtonGroup(this);
    auto* formatsLayout = new QVBoxLayout(formats);
    formatsLayout->addWidget(m_pNoAlpha);
    connect(m_pNoAlpha, &QCheckBox::toggled, this, [this](bool on) {
        m_model.noAlphaClicked(on);
        draw();
    });
    // Two groups of radio buttons, one default in each: DXT1/RGB 565 without
    // alpha, the rest with. Each group is exclusive, so that the buttons are
    // radio buttons to assistive technology too; the model says which is
    // checked in each (draw lifts the exclusivity while it sets them).
    const struct {
        ExportDialogModel::Format format;
        const char* text;
    } order[] = {{ExportDialogModel::Dxt1, "DXT1"},
                 {ExportDialogModel::Rgb565, "RGB 565"},
                 {ExportDialogModel::Dxt3, "DXT3"},
                 {ExportDialogModel::Rgba4444, "RGBA 4444"},
                 {ExportDialogModel::Rgba8888, "RGBA 8888"}};
    for (const auto& f : order) {
        auto* radio = new QRadioButton(QString::fromUtf8(f.text), formats);
        m_formats[f.format] = radio;
        const bool withAlpha = f.format != ExportDialogModel::Dxt1 && f.format != ExportDialogModel::Rgb565;
        m_formatGroups[withAlpha ? 1 : 0]->addButton(radio);
        formatsLayout->addWidget(radio);
        if (f.format == ExportDialogModel::Rgb565)
            formatsLayout->addSpacing(8);
        connect(radio, &QRadioButton::toggled, this, [this, format = f.format](bool on) {
            if (!on)
                return;
            m_model.formatClicked(format);
            draw();
        });
    }

    m_pExport = new QPushButton(QStringLiteral("Exportieren"), this);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_pExport->setDefault(true);
    connect(m_pExport, &QPushButton::clicked, this, &CExportDialog::exportPressed);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* panel = new QVBoxLayout;
    panel->addWidget(maps);
    panel->addWidget(formats);
    panel->addStretch();
    panel->addWidget(m_pExport);
    panel->addWidget(cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pFiles, 1);
    layout->addLayout(panel);
    draw();
}

void CExportDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The save dialog's places list starts too narrow for its names
    // ("Computer" and the folders): widen it to its longest one.
    auto* split = m_pFiles->findChild<QSplitter*>(QStringLiteral("splitter"));
    auto* places = m_pFiles->findChild<QListView*>(QStringLiteral("sidebar"));
    if (!split || !places || split->count() < 2)
        return;
    const int need = places->sizeHintForColumn(0) + 2 * places->frameWidth() + places->verticalScrollBar()->sizeHint().width();
    QList<int> sizes = split->sizes();
    if (sizes[0] < need) {
        const int total = sizes[0] + sizes[1];
        sizes[0] = std::min(need, total / 3);
        sizes[1] = total - sizes[0];
        split->setSizes(sizes);
    }
}

QLineEdit* CExportDialog::fileNameEdit() const
{
    return m_pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

void CExportDialog::selectType(int type)
{
    if (QLineEdit* name = fileNameEdit())
        m_model.setFileName(name->text().toStdString());
    m_model.typeChanged(type);
    if (type >= 0 && type < m_filters.size() && m_pFiles->selectedNameFilter() != m_filters[type]) {
        const QSignalBlocker block(m_pFiles);
        m_pFiles->selectNameFilter(m_filters[type]);
    }
    if (QLineEdit* name = fileNameEdit())
        name->setText(QString::fromStdString(m_model.fileName()));
    draw();
}

void CExportDialog::draw()
{
    auto apply = [](QAbstractButton* b, const ExportDialogModel::Control& c) {
        const QSignalBlocker block(b);
        b->setChecked(c.checked);
        b->setEnabled(c.enabled);
    };
    // The model may check none of a group; the groups let it while drawn.
    QButtonGroup* groups[] = {m_formatGroups[0], m_formatGroups[1], m_mapRadios[0]->group()};
    for (QButtonGroup* g : groups)
        g->setExclusive(false);
    for (int k = 0; k < 3; ++k)
        apply(m_mapRadios[static_cast<std::size_t>(k)], m_model.mapRadio(k));
    apply(m_pNoAlpha, m_model.noAlpha());
    for (int f = 0; f < 5; ++f)
        apply(m_formats[static_cast<std::size_t>(f)], m_model.formatRadio(static_cast<ExportDialogModel::Format>(f)));
    for (QButtonGroup* g : groups)
        g->setExclusive(true);
    const QSignalBlocker block(m_pMaps);
    m_pMaps->setValue(m_model.mapsFieldValue());
    m_pMaps->setEnabled(m_model.mapsField().enabled);
}

void CExportDialog::exportPressed()
{
    const QLineEdit* nameEdit = fileNameEdit();
    const QString name = nameEdit ? nameEdit->text().trimmed() : QString();
    if (name.isEmpty())
        return;
    const QString path = QFileInfo(name).isAbsolute() ? name : m_pFiles->directory().absoluteFilePath(name);
    // An existing file is the document's question, asked after the dialog
    // closes; "No" there brings the dialog back. A typed extension of another
    // listed type chooses that type, so the bytes always match the name.
    m_model.acceptTypedName(path.toStdString());
    accept();
}
