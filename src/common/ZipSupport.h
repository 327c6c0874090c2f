#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct zip;
struct zip_stat;

// What every reader of zip archives shares: the French reason libzip could not
// open an archive, the sizes a directory entry declares, and an archive read
// into memory one bounded entry at a time (a workbook's parts).
namespace ZipSupport {

// Why libzip could not open the archive, in French; `shown` names it.
QString OpenError(int code, const QString &shown);

// The size a directory entry declares, capped at 256 TiB (far beyond any
// limit) so that sums and percentages of it cannot overflow; 0 when the
// field is not valid.
qint64 DeclaredSize(const struct zip_stat &st, quint64 field, int flag);

// An archive opened read-only; its entries are read into memory whole, each
// refused beyond `maxBytes` (declared or actually read) and beyond `ratio`
// times its compressed size once past `ratioFrom` bytes.
class Archive
{
public:
    Archive() = default;
    ~Archive();
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    // False with a French `error` when the file is no readable archive or
    // holds more than `maxEntries` entries.
    bool open(const QString &path, int maxEntries, QString *error);
    QStringList names() const { return m_names; }
    bool contains(const QString &name) const { return m_names.contains(name); }
    // The entry's bytes; false with a French `error` when it is missing,
    // encrypted, too large or too compressed, or cannot be read.
    bool read(const QString &name, qint64 maxBytes, qint64 ratio, qint64 ratioFrom, QByteArray *bytes,
              QString *error) const;

private:
    struct zip *m_archive = nullptr;
    QString m_shown;
    QStringList m_names;
};

} // namespace ZipSupport
