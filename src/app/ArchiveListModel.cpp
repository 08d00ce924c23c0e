#include "ArchiveListModel.h"

#include "EntryFormat.h"

void ArchiveListModel::SetRows(std::vector<ArchiveRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void ArchiveListModel::Clear() { SetRows({}); }

int ArchiveListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArchiveListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == kKeyRole) return Key(index.row());
    if (role != Qt::DisplayRole) return {};
    const ArchiveRow &row = Row(index.row());
    switch (index.column()) {
    case kFilename: return row.name;
    case kSize: return QString::number(row.size);
    case kPacked: return QString::number(row.packed);
    case kModified: return entryformat::DateText(row.date);
    case kDirectory: return row.folder;
    default: return {};
    }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation,
                                      int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    static const char *const headers[] = {"Filename", "Size", "Packed", "Modified", "Directory"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(headers[section])
                                                  : QVariant();
}
