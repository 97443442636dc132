// The disk file tree in a scratch folder: what it lists, what opens where,
// dead keys, rename, delete to the trash and for good, remembered selection.
#include "filetree/CFilePropertiesDialog.h"
#include "filetree/CFileTreeView.h"
#include "filetree/CTreeFileCtrl.h"
#include "filetree/DiskFileFilter.h"

#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

    void propertiesShowTheFile()
    {
        const CFilePropertiesDialog dialog(path("latex"));
        const auto rows = dialog.rows();
        QCOMPARE(rows[0].second, QStringLiteral("latex"));
        QCOMPARE(rows[3].second, QStringLiteral("1 Bytes"));
        QVERIFY(rows[7].second.startsWith("rw"));
    }
};

QTEST_MAIN(FileTreeTest)
#include "FileTreeTest.moc"
