#include "dialogs/CExportDialog.h"

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
#include <QSpinBox>
#include <QSplitter>
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
    mapsLayout->addWidget(m_pMaps);
    connect(mapGroup, &QButtonGroup::idClicked, this, [this](int option) {
        m_model.mapOptionClicked(option);
        draw();
    });
    connect(m_pMaps, &QSpinBox::valueChanged, this, [this](int v) {
        m_model.setMapsField(v);
        draw();
    });

    auto* formats = new QGroupBox(QStringLiteral("Format"), this);
    auto* formatsLayout = new QVBoxLayout(formats);
    formatsLayout->addWidget(m_pNoAlpha);
    connect(m_pNoAlpha, &QCheckBox::clicked, this, [this](bool on) {
        m_model.noAlphaClicked(on);
        draw();
    });
    // Two groups, one default in each: DXT1/RGB 565 without alpha, the rest with.
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
        radio->setAutoExclusive(false);  // the model keeps one per group
        m_formats[f.format] = radio;
        formatsLayout->addWidget(radio);
        if (f.format == ExportDialogModel::Rgb565)
            formatsLayout->addSpacing(8);
        connect(radio, &QRadioButton::clicked, this, [this, format = f.format] {
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
    for (int k = 0; k < 3; ++k)
        apply(m_mapRadios[static_cast<std::size_t>(k)], m_model.mapRadio(k));
    apply(m_pNoAlpha, m_model.noAlpha());
    for (int f = 0; f < 5; ++f)
        apply(m_formats[static_cast<std::size_t>(f)], m_model.formatRadio(static_cast<ExportDialogModel::Format>(f)));
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
