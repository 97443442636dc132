#include "filetree/DiskTreeModel.h"

#include "document/DiskFileRules.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <utility>

struct DiskTreeModel::Node {
    QString name;          // file name; the label for a top-level item
    QString rootPath;      // the mount point, top-level items only
    bool dir = true;
    Node* parent = nullptr;
    int row = 0;
    bool populated = false;
    mutable int hasEntries = -1;  // unknown until asked
    mutable QIcon icon;
    QString watchedPath;   // set while the folder is read and watched
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

constexpr QDir::Filters kListing = QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// Folders first, then files, each by name without regard to case; names that
// differ only in case keep a fixed order.
bool lessThan(const QString& a, bool aDir, const QString& b, bool bDir)
{
    if (aDir != bDir)
        return aDir;
    const int c = a.toCaseFolded().compare(b.toCaseFolded());
    return c != 0 ? c < 0 : a < b;
}

bool listed(const QFileInfo& info)
{
    return DiskFileRules::isListed(info.fileName().toStdString(), info.isDir());
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

DiskTreeModel::DiskTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    // A burst of changes (a thousand files unpacked) is read once, shortly after.
    m_rereadTimer.setSingleShot(true);
    m_rereadTimer.setInterval(50);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        m_changed.insert(path);
        m_rereadTimer.start();
    });
    connect(&m_rereadTimer, &QTimer::timeout, this, [this] {
        const QSet<QString> changed = std::exchange(m_changed, {});
        for (const QString& path : changed)
            onFolderChanged(path);
    });
}

DiskTreeModel::~DiskTreeModel() = default;

void DiskTreeModel::setRoots(const QList<Root>& roots)
{
    beginResetModel();
    for (auto& r : m_roots)
        forget(r.get());
    m_roots.clear();
    for (const Root& r : roots) {
        auto n = std::make_unique<Node>();
        n->name = r.label;
        n->rootPath = QDir::cleanPath(r.path);
        n->row = static_cast<int>(m_roots.size());
        m_roots.push_back(std::move(n));
    }
    endResetModel();
}

DiskTreeModel::Node* DiskTreeModel::node(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex DiskTreeModel::indexOf(const Node* n) const
{
    return n ? createIndex(n->row, 0, const_cast<Node*>(n)) : QModelIndex();
}

QString DiskTreeModel::pathOf(const Node* n) const
{
    return n->parent ? joined(pathOf(n->parent), n->name) : n->rootPath;
}

QString DiskTreeModel::filePath(const QModelIndex& index) const
{
    const Node* n = node(index);
    return n ? pathOf(n) : QString();
}

bool DiskTreeModel::isDir(const QModelIndex& index) const
{
    const Node* n = node(index);
    return n && n->dir;
}

bool DiskTreeModel::isRoot(const QModelIndex& index) const
{
    const Node* n = node(index);
    return n && !n->parent;
}

QModelIndex DiskTreeModel::indexOf(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (!QDir::isAbsolutePath(clean))
        return {};
    // The mount that holds the path most closely: /home/a below /home, not below /.
    Node* best = nullptr;
    for (const auto& r : m_roots) {
        const QString& m = r->rootPath;
        const bool holds = clean == m || m == QLatin1String("/") || clean.startsWith(m + QLatin1Char('/'));
        if (holds && (!best || m.size() > best->rootPath.size()))
            best = r.get();
    }
    if (!best)
        return {};
    Node* n = best;
    const QStringList parts = clean.mid(best->rootPath.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        populate(n);
        const auto& kids = n->children;
        auto it = std::find_if(kids.begin(), kids.end(), [&](const auto& c) { return c->name == part; });
        if (it == kids.end())
            it = std::find_if(kids.begin(), kids.end(),
                              [&](const auto& c) { return c->name.compare(part, Qt::CaseInsensitive) == 0; });
        if (it == kids.end())
            return {};
        n = it->get();
    }
    return indexOf(n);
}

QModelIndex DiskTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Node* p = node(parent);
    const auto& list = p ? p->children : m_roots;
    if (row >= static_cast<int>(list.size()))
        return {};
    return createIndex(row, 0, list[static_cast<size_t>(row)].get());
}

QModelIndex DiskTreeModel::parent(const QModelIndex& child) const
{
    const Node* n = node(child);
    return n ? indexOf(n->parent) : QModelIndex();
}

int DiskTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node* p = node(parent);
    return static_cast<int>(p ? p->children.size() : m_roots.size());
}

int DiskTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant DiskTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* n = node(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->name;
    case Qt::ToolTipRole:
        return n->parent ? QVariant() : QVariant(n->rootPath);
    case Qt::DecorationRole:
        if (n->icon.isNull())
            n->icon = n->parent ? m_icons.icon(QFileInfo(pathOf(n))) : m_icons.icon(QAbstractFileIconProvider::Drive);
        return n->icon;
    default:
        return {};
    }
}

Qt::ItemFlags DiskTreeModel::flags(const QModelIndex& index) const
{
    const Node* n = node(index);
    if (!n)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (n->parent)
        f |= Qt::ItemIsEditable;  // a mount point is not renamed
    if (!n->dir)
        f |= Qt::ItemNeverHasChildren;
    return f;
}

bool DiskTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* n = node(parent);
    if (!n)
        return !m_roots.empty();
    if (!n->dir)
        return false;
    if (n->populated)
        return !n->children.empty();
    // A mount's medium is not touched before it is expanded.
    if (!n->parent)
        return true;
    if (n->hasEntries < 0) {
        QDirIterator it(pathOf(n), kListing);
        n->hasEntries = 0;
        while (it.hasNext()) {
            it.next();
            if (listed(it.fileInfo())) {
                n->hasEntries = 1;
                break;
            }
        }
    }
    return n->hasEntries == 1;
}

bool DiskTreeModel::canFetchMore(const QModelIndex& parent) const
{
    const Node* n = node(parent);
    return n && n->dir && !n->populated;
}

void DiskTreeModel::fetchMore(const QModelIndex& parent)
{
    if (Node* n = node(parent))
        populate(n);
}

std::vector<DiskTreeModel::Entry> DiskTreeModel::readFolder(const QString& path) const
{
    // The directory's own entry types spare a status call per file; the keys
    // without case are made once, not in every comparison of the sort.
    struct Keyed {
        Entry entry;
        QString folded;
    };
    std::vector<Keyed> keyed;
    QDirIterator it(path, kListing);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (listed(info))
            keyed.push_back({{info.fileName(), info.isDir()}, info.fileName().toCaseFolded()});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.entry.dir != b.entry.dir)
            return a.entry.dir;
        const int c = a.folded.compare(b.folded);
        return c != 0 ? c < 0 : a.entry.name < b.entry.name;
    });
    std::vector<Entry> out;
    out.reserve(keyed.size());
    for (Keyed& k : keyed)
        out.push_back(std::move(k.entry));
    return out;
}

void DiskTreeModel::populate(Node* n)
{
    if (!n->dir || n->populated)
        return;
    const QString path = pathOf(n);
    const std::vector<Entry> entries = readFolder(path);
    n->populated = true;
    n->watchedPath = path;
    m_watched.insert(path, n);
    if (m_watched.count(path) == 1)
        m_watcher.addPath(path);
    n->hasEntries = entries.empty() ? 0 : 1;
    if (entries.empty()) {
        // The expand button goes away.
        const QModelIndex i = indexOf(n);
        emit dataChanged(i, i);
        return;
    }
    beginInsertRows(indexOf(n), 0, static_cast<int>(entries.size()) - 1);
    n->children.reserve(entries.size());
    for (const Entry& e : entries) {
        auto c = std::make_unique<Node>();
        c->name = e.name;
        c->dir = e.dir;
        c->parent = n;
        c->row = static_cast<int>(n->children.size());
        n->children.push_back(std::move(c));
    }
    endInsertRows();
}

void DiskTreeModel::renumber(Node* n, size_t from)
{
    for (size_t r = from; r < n->children.size(); ++r)
        n->children[r]->row = static_cast<int>(r);
}

void DiskTreeModel::reread(Node* n)
{
    // Both lists are in the same order, so one pass finds what went and what
    // came; each run of neighbouring rows goes or comes in one step.
    const std::vector<Entry> entries = readFolder(pathOf(n));
    const QModelIndex parentIndex = indexOf(n);
    auto& kids = n->children;
    auto oldBeforeNew = [&](size_t i, size_t j) {
        return j == entries.size() || lessThan(kids[i]->name, kids[i]->dir, entries[j].name, entries[j].dir);
    };
    auto newBeforeOld = [&](size_t i, size_t j) {
        return i == kids.size() || lessThan(entries[j].name, entries[j].dir, kids[i]->name, kids[i]->dir);
    };
    size_t i = 0, j = 0;
    while (i < kids.size() || j < entries.size()) {
        if (i < kids.size() && oldBeforeNew(i, j)) {
            size_t end = i + 1;
            while (end < kids.size() && oldBeforeNew(end, j))
                ++end;
            beginRemoveRows(parentIndex, static_cast<int>(i), static_cast<int>(end) - 1);
            for (size_t k = i; k < end; ++k)
                forget(kids[k].get());
            kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i), kids.begin() + static_cast<std::ptrdiff_t>(end));
            renumber(n, i);
            endRemoveRows();
        } else if (j < entries.size() && newBeforeOld(i, j)) {
            size_t end = j + 1;
            while (end < entries.size() && newBeforeOld(i, end))
                ++end;
            beginInsertRows(parentIndex, static_cast<int>(i), static_cast<int>(i + end - j) - 1);
            std::vector<std::unique_ptr<Node>> added;
            for (size_t k = j; k < end; ++k) {
                auto c = std::make_unique<Node>();
                c->name = entries[k].name;
                c->dir = entries[k].dir;
                c->parent = n;
                added.push_back(std::move(c));
            }
            kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(i), std::make_move_iterator(added.begin()),
                        std::make_move_iterator(added.end()));
            renumber(n, i);
            endInsertRows();
            i += end - j;
            j = end;
        } else {
            ++i;  // the same item on both sides
            ++j;
        }
    }
    n->hasEntries = kids.empty() ? 0 : 1;
}

void DiskTreeModel::forget(Node* n)
{
    for (auto& c : n->children)
        forget(c.get());
    if (!n->watchedPath.isEmpty()) {
        m_watched.remove(n->watchedPath, n);
        if (!m_watched.contains(n->watchedPath))
            m_watcher.removePath(n->watchedPath);
        n->watchedPath.clear();
    }
}

void DiskTreeModel::forgetChildren(Node* n)
{
    if (!n->children.empty()) {
        beginRemoveRows(indexOf(n), 0, static_cast<int>(n->children.size()) - 1);
        forget(n);
        n->children.clear();
        endRemoveRows();
    } else {
        forget(n);
    }
    n->populated = false;
    n->hasEntries = -1;
}

void DiskTreeModel::onFolderChanged(const QString& path)
{
    const QList<Node*> nodes = m_watched.values(path);
    const bool exists = QFileInfo(path).isDir();
    for (Node* n : nodes) {
        if (!m_watched.contains(path, n))
            continue;
        // A folder that went away is read afresh when it is expanded again;
        // its parent's watch removes its item.
        if (exists)
            reread(n);
        else
            forgetChildren(n);
    }
}

bool DiskTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    Node* n = node(index);
    if (!n || !n->parent || role != Qt::EditRole)
        return false;
    const QString newName = value.toString();
    if (newName.isEmpty() || newName == n->name)
        return false;
    const QString oldPath = pathOf(n);
    const QString newPath = joined(pathOf(n->parent), newName);
    const QFileInfo target(newPath);
    // An existing name is never replaced (a folder's rename would replace an empty one).
    const bool ok = newName != QLatin1String(".") && newName != QLatin1String("..") &&
                    !newName.contains(QLatin1Char('/')) && !target.exists() && !target.isSymLink() &&
                    QDir().rename(oldPath, newPath);
    if (!ok) {
        emit renameFailed(oldPath, newName);
        return false;
    }
    // The children's paths changed: the folder is read again when expanded.
    if (n->populated)
        forgetChildren(n);
    n->name = newName;
    n->icon = QIcon();
    Node* p = n->parent;
    const int from = n->row;
    int to = 0;  // the row among the others that the new name sorts to
    for (const auto& c : p->children)
        if (c.get() != n && lessThan(c->name, c->dir, n->name, n->dir))
            ++to;
    if (to != from) {
        const QModelIndex parentIndex = indexOf(p);
        beginMoveRows(parentIndex, from, from, parentIndex, to > from ? to + 1 : to);
        auto moved = std::move(p->children[static_cast<size_t>(from)]);
        p->children.erase(p->children.begin() + from);
        p->children.insert(p->children.begin() + to, std::move(moved));
        renumber(p, 0);
        endMoveRows();
    }
    const QModelIndex i = indexOf(n);
    emit dataChanged(i, i);
    return true;
}
