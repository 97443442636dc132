// The disk file tree in a scratch folder: which mounts form its top level,
// what it lists, what opens where, dead keys, rename, delete to the trash and
// for good, remembered selection, and how it follows changes on disk.
#include "filetree/CFilePropertiesDialog.h"
#include "filetree/CFileTreeView.h"
#include "filetree/CTreeFileCtrl.h"
#include "filetree/DiskTreeModel.h"
#include "filetree/MountFilter.h"

#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class FileTreeTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CFileTreeView> m_view;
    QStringList m_external;
    QStringList m_told;
    bool m_answer = true;

    CTreeFileCtrl* tree() const { return m_view->tree(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    static void touch(const QString& p)
    {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QStringList listed()
    {
        tree()->selectPath(m_dir->path(), true);
        const QModelIndex folder = tree()->currentIndex();
        QStringList out;
        auto* m = tree()->model();
        for (int r = 0; r < m->rowCount(folder); ++r)
            out << m->index(r, 0, folder).data().toString();
        return out;
    }
    void select(const QString& name) { QVERIFY(tree()->selectPath(path(name), false)); }

private slots:
    void initTestCase()
    {
        // Trash and settings go below a scratch home, not the user's.
        qputenv("XDG_DATA_HOME", m_home.filePath("share").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        QVERIFY(QDir(m_home.path()).mkpath("share"));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(m_home.filePath("work-XXXXXX"));
        QDir(m_dir->path()).mkdir("Sub");
        QDir(m_dir->path()).mkdir(".hiddendir");
        for (const char* name : {"a.tex", ".hidden", "notes.txt", "Bild.JPEG", "latex"})
            touch(path(name));
        touch(path("Sub/inner.tga"));
        m_view = std::make_unique<CFileTreeView>();
        m_external.clear();
        m_told.clear();
        m_answer = true;
        tree()->openExternally = [this](const QString& p) { m_external << p; };
        tree()->tell = [this](const QString& text) { m_told << text; };
        tree()->ask = [this](const QString&) { return m_answer; };
        m_view->resize(400, 600);
        m_view->show();
        QTRY_COMPARE(listed().size(), 6);
    }
    void cleanup()
    {
        m_view.reset();
        m_dir.reset();
    }

    void listsFoldersFirstAndLeavesOutHiddenFiles()
    {
        QCOMPARE(listed(), (QStringList{".hiddendir", "Sub", "a.tex", "Bild.JPEG", "latex", "notes.txt"}));
    }

    void openingByKindOfFile()
    {
        QSignalSpy opened(tree(), &CTreeFileCtrl::openInProgram);
        const struct {
            const char* name;
            bool inProgram;
        } cases[] = {{"Bild.JPEG", true}, {"latex", true}, {"a.tex", true}, {"notes.txt", false}};
        for (const auto& c : cases) {
            opened.clear();
            m_external.clear();
            select(c.name);
            QTest::keyClick(tree(), Qt::Key_Return);
            QCOMPARE(opened.count(), c.inProgram ? 1 : 0);
            QCOMPARE(m_external.size(), c.inProgram ? 0 : 1);
            if (c.inProgram)
                QCOMPARE(opened.front().front().toString(), path(c.name));
        }
        // A double click on a file opens it; on a folder it expands and opens nothing.
        select("Bild.JPEG");
        opened.clear();
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(tree()->currentIndex()).center());
        QCOMPARE(opened.count(), 1);
        opened.clear();
        m_external.clear();
        select("Sub");
        const QModelIndex sub = tree()->currentIndex();
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(sub).center());
        QVERIFY(tree()->isExpanded(sub));
        QCOMPARE(opened.count(), 0);
        QVERIFY(m_external.isEmpty());
    }

    void deadKeysStayDead()
    {
        select("notes.txt");
        for (const int key : {Qt::Key_F2, Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_F5}) {
            QTest::keyClick(tree(), static_cast<Qt::Key>(key));
            QVERIFY(QFile::exists(path("notes.txt")));
            QVERIFY(!tree()->isEditing());
        }
        QTest::keyClick(tree(), Qt::Key_Return, Qt::AltModifier);
        QVERIFY(m_external.isEmpty());
    }

    void renameByEditingTheLabel()
    {
        select("notes.txt");
        tree()->renameSelected();
        auto* editor = tree()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText("renamed.txt");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(QFile::exists(path("renamed.txt")));
        QVERIFY(!QFile::exists(path("notes.txt")));
        QVERIFY(m_told.isEmpty());

        // Onto an existing name: refused, the old name stays, the user is told.
        select("a.tex");
        tree()->renameSelected();
        editor = tree()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText("latex");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(m_told.size(), 1);
        QCOMPARE(m_told.front(), QStringLiteral("„%1“ konnte nicht in „latex“ umbenannt werden.").arg(path("a.tex")));
        QVERIFY(QFile::exists(path("a.tex")));
        QCOMPARE(QFile(path("latex")).size(), 1);

        // The file system's root is never renamed.
        QVERIFY(tree()->selectPath("/", false));
        tree()->renameSelected();
        QVERIFY(!tree()->isEditing());
    }

    void deleteToTrashAndForGood()
    {
        select("notes.txt");
        tree()->deleteSelected(false);
        QVERIFY(!QFile::exists(path("notes.txt")));
        QVERIFY(QFile::exists(m_home.filePath("share/Trash/files/notes.txt")));

        select("a.tex");
        m_answer = false;
        tree()->deleteSelected(true);
        QVERIFY(QFile::exists(path("a.tex")));
        m_answer = true;
        tree()->deleteSelected(true);
        QVERIFY(!QFile::exists(path("a.tex")));
        QVERIFY(!QFile::exists(m_home.filePath("share/Trash/files/a.tex")));

        select("Sub");
        tree()->deleteSelected(true);
        QVERIFY(!QDir(path("Sub")).exists());
        QVERIFY(m_told.isEmpty());
    }

    void remembersTheSelection()
    {
        select("Sub");
        tree()->expand(tree()->currentIndex());
        m_view.reset();
        {
            QSettings s("Tessarin", "Korvix");
            QCOMPARE(s.value("Settings/FTreePath").toString(), path("Sub"));
            QCOMPARE(s.value("Settings/FTreeExpanded").toInt(), 1);
        }
        m_view = std::make_unique<CFileTreeView>();
        m_view->show();
        QCOMPARE(tree()->selectedPath(), path("Sub"));
        QVERIFY(tree()->selectedExpanded());
    }

    void mountsShown_data()
    {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("shown");
        const struct {
            const char *point, *type;
            bool ready, shown;
        } cases[] = {
            {"/", "ext4", true, true},
            {"/", "overlay", true, true},  // a container's root is still the root
            {"/home", "btrfs", true, true},
            {"/media/anna/USB-STICK", "vfat", true, true},
            {"/run/media/anna/Fotos", "exfat", true, true},
            {"/mnt/nas", "nfs4", true, true},
            {"/mnt/remote", "fuse.sshfs", true, true},
            {"/tmp", "tmpfs", true, true},
            {"/mnt/cdrom", "iso9660", false, false},  // no medium
            {"/proc", "proc", true, false},
            {"/sys", "sysfs", true, false},
            {"/sys/fs/cgroup", "cgroup2", true, false},
            {"/dev/pts", "devpts", true, false},
            {"/dev/shm", "tmpfs", true, false},
            {"/run", "tmpfs", true, false},
            {"/run/user/1000", "tmpfs", true, false},
            {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", true, false},
            {"/run/media", "tmpfs", true, false},
            {"/snap/core22/1380", "squashfs", true, false},
            {"/var/lib/docker/overlay2/abc/merged", "overlay", true, false},
            {"/proc/sys/fs/binfmt_misc", "binfmt_misc", true, false},
            {"/dev/hugepages", "hugetlbfs", true, false},
            {"/runner", "ext4", true, true},  // a prefix of a name is not a parent folder
        };
        for (const auto& c : cases)
            QTest::addRow("%s %s", c.point, c.type) << c.point << c.type << c.ready << c.shown;
    }
    void mountsShown()
    {
        QFETCH(QString, mountPoint);
        QFETCH(QString, type);
        QFETCH(bool, ready);
        QFETCH(bool, shown);
        const QByteArray point = mountPoint.toUtf8(), fs = type.toUtf8();
        QCOMPARE(MountFilter::isShown({point.toStdString(), fs.toStdString(), ready}), shown);
    }

    void topLevelIsTheMountedVolumes()
    {
        auto* model = tree()->diskModel();
        QVERIFY(model->rowCount() >= 1);
        const QModelIndex first = model->index(0, 0);
        QCOMPARE(model->filePath(first), QStringLiteral("/"));
        QVERIFY(tree()->isRoot(first));
        for (int r = 0; r < model->rowCount(); ++r)
            QVERIFY(!model->filePath(model->index(r, 0)).startsWith("/proc"));
        // A change of the mount table rebuilds the top level; the selection stays.
        select("Sub");
        tree()->expand(tree()->currentIndex());
        tree()->showMountedVolumes();
        QCOMPARE(tree()->selectedPath(), path("Sub"));
        QVERIFY(tree()->selectedExpanded());
        QCOMPARE(MountFilter::label("/mnt/daten", "Daten"), QStringLiteral("Daten (/mnt/daten)"));
        QCOMPARE(MountFilter::label("/", ""), QStringLiteral("/"));
    }

    void nestedMountsFollowTheDisk()
    {
        // Sub stands for a file system mounted inside another: its files are
        // under its own item and under the outer one, and both follow the disk.
        DiskTreeModel model;
        model.setRoots({{m_dir->path(), "Außen"}, {path("Sub"), "Innen"}});
        QTreeView view;
        view.setModel(&model);
        view.show();
        const QModelIndex outer = model.index(0, 0), inner = model.index(1, 0);
        QCOMPARE(inner.data().toString(), QStringLiteral("Innen"));
        QVERIFY(!(model.flags(inner) & Qt::ItemIsEditable));

        const QModelIndex viaInner = model.indexOf(path("Sub/inner.tga"));
        QCOMPARE(viaInner.parent(), inner);
        QCOMPARE(model.filePath(viaInner), path("Sub/inner.tga"));
        QCOMPARE(model.indexOf(path("Sub")), inner);  // the closest mount holds it
        model.fetchMore(outer);
        QModelIndex subOuter;
        for (int r = 0; r < model.rowCount(outer); ++r)
            if (model.index(r, 0, outer).data().toString() == "Sub")
                subOuter = model.index(r, 0, outer);
        QVERIFY(subOuter.isValid());
        QCOMPARE(model.filePath(subOuter), path("Sub"));
        view.expand(outer);
        view.expand(subOuter);
        view.expand(inner);
        QCOMPARE(model.rowCount(subOuter), 1);
        view.setCurrentIndex(viaInner);

        auto names = [&](const QModelIndex& folder) {
            QStringList out;
            for (int r = 0; r < model.rowCount(folder); ++r)
                out << model.index(r, 0, folder).data().toString();
            return out;
        };
        touch(path("Sub/b.tex"));
        QDir(path("Sub")).mkdir("Neu");
        touch(path("Sub/.versteckt"));
        const QStringList expected{"Neu", "b.tex", "inner.tga"};
        QTRY_COMPARE(names(inner), expected);
        QTRY_COMPARE(names(subOuter), expected);
        // The rows that stayed keep their items: selection and expansion hold.
        QCOMPARE(model.filePath(view.currentIndex()), path("Sub/inner.tga"));
        QVERIFY(view.isExpanded(subOuter));

        QVERIFY(QFile::remove(path("Sub/b.tex")));
        QTRY_COMPARE(names(inner), (QStringList{"Neu", "inner.tga"}));
        QTRY_COMPARE(names(subOuter), (QStringList{"Neu", "inner.tga"}));

        // A rename moves the item to its sorted place and keeps it selected.
        view.setCurrentIndex(model.indexOf(path("Sub/inner.tga")));
        QVERIFY(model.setData(view.currentIndex(), "a.tga"));
        QCOMPARE(model.filePath(view.currentIndex()), path("Sub/a.tga"));
        QCOMPARE(names(inner), (QStringList{"Neu", "a.tga"}));
        QTRY_COMPARE(names(subOuter), (QStringList{"Neu", "a.tga"}));
        // Renamed from outside, and a burst of new files: one row goes, the
        // others come, each in its place.
        QVERIFY(QFile::rename(path("Sub/a.tga"), path("Sub/m.tga")));
        for (const char* name : {"c.tex", "d.tex", "x.tex", "y.tex"})
            touch(path("Sub/") + name);
        const QStringList burst{"Neu", "c.tex", "d.tex", "m.tga", "x.tex", "y.tex"};
        QTRY_COMPARE(names(inner), burst);
        QTRY_COMPARE(names(subOuter), burst);
        for (int r = 0; r < burst.size(); ++r)  // every item knows its new row
            QCOMPARE(model.indexOf(path("Sub/" + burst[r])).row(), r);

        // A folder that holds nothing listed loses its expand button when read.
        const QModelIndex neu = model.indexOf(path("Sub/Neu"));
        QVERIFY(!model.hasChildren(neu));
    }

    void propertiesShowTheFile()
    {
        const CFilePropertiesDialog dialog(path("latex"));
        const auto rows = dialog.rows();
        QCOMPARE(rows[0].second, QStringLiteral("latex"));
        QCOMPARE(rows[3].second, QStringLiteral("1 Bytes"));
        QVERIFY(rows[7].second.startsWith("rw"));
        // The type in German: the program's own types by name, others from
        // the type database in German, unknown contents as a plain file.
        QCOMPARE(CFilePropertiesDialog(path("a.tex")).rows()[1].second, QStringLiteral("Tarvos-Textur"));
        QCOMPARE(CFilePropertiesDialog(path("Sub")).rows()[1].second, QStringLiteral("Ordner"));
        QCOMPARE(CFilePropertiesDialog(path("notes.txt")).rows()[1].second, QStringLiteral("Einfaches Textdokument"));
    }
};

QTEST_MAIN(FileTreeTest)
#include "FileTreeTest.moc"
