// The rows of the archive view: one per archive entry, in five columns. A light table
// model so that 100,000 entries list and paint at once; cells are formatted when shown.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <vector>

struct ArchiveRow {
    QString name;      // the entry's name, "+" appended when it is encrypted
    qint64 size = 0;
    qint64 packed = 0;
    double date = 0;   // automation date
    QString folder;
};

class ArchiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFilename, kSize, kPacked, kModified, kDirectory, kColumnCount };
    // Qt::UserRole of any cell gives the row's key: "File" and the entry's number (File1,
    // File2, ...).
    static constexpr int kKeyRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces every row in one reset, so that the view lays out and paints once.
    void SetRows(std::vector<ArchiveRow> rows);
    void Clear();
    const ArchiveRow &Row(int row) const { return rows_[static_cast<size_t>(row)]; }
    static QString Key(int row) { return QStringLiteral("File%1").arg(row + 1); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<ArchiveRow> rows_;
};
