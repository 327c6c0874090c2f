#include "ZipSupport.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <zip.h>

namespace ZipSupport {

QString OpenError(int code, const QString &shown)
{
    switch (code) {
    case ZIP_ER_NOENT:
        return QStringLiteral("L'archive « %1 » est introuvable.").arg(shown);
    case ZIP_ER_NOZIP:
        return QStringLiteral("« %1 » n'est pas une archive zip.").arg(shown);
    case ZIP_ER_INCONS:
        return QStringLiteral("L'archive « %1 » est endommagée.").arg(shown);
    default:
        return QStringLiteral("L'archive « %1 » ne peut pas être lue (erreur %2 de libzip).")
            .arg(shown, QString::number(code));
    }
}

qint64 DeclaredSize(const zip_stat_t &st, quint64 field, int flag)
{
    constexpr zip_uint64_t Cap = zip_uint64_t(1) << 48;
    return (st.valid & flag) ? qint64(std::min(zip_uint64_t(field), Cap)) : 0;
}

Archive::~Archive()
{
    if (m_archive)
        zip_discard(m_archive);
}

bool Archive::open(const QString &path, int maxEntries, QString *error)
{
    m_shown = QFileInfo(path).fileName();
    int code = 0;
    m_archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!m_archive) {
        *error = OpenError(code, m_shown);
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    if (count > maxEntries) {
        *error = QStringLiteral("L'archive « %1 » compte %2 entrées : elle en accepte au plus %3.")
                     .arg(m_shown, QString::number(count), QString::number(maxEntries));
        return false;
    }
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(m_archive, zip_uint64_t(i), 0);
        m_names.append(name ? QString::fromUtf8(name) : QString());
    }
    return true;
}

bool Archive::read(const QString &name, qint64 maxBytes, qint64 ratio, qint64 ratioFrom, QByteArray *bytes,
                   QString *error) const
{
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("L'archive « %1 » est refusée : %2").arg(m_shown, why);
        return false;
    };
    const qsizetype index = m_names.indexOf(name);
    if (!m_archive || index < 0)
        return fail(QStringLiteral("elle ne contient pas « %1 ».").arg(name));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_archive, zip_uint64_t(index), 0, &st) != 0)
        return fail(QStringLiteral("« %1 » ne peut pas être lu.").arg(name));
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        return fail(QStringLiteral("« %1 » est chiffré.").arg(name));
    const qint64 size = DeclaredSize(st, st.size, ZIP_STAT_SIZE);
    const qint64 packed = DeclaredSize(st, st.comp_size, ZIP_STAT_COMP_SIZE);
    const QString tooLarge =
        QStringLiteral("« %1 » dépasse %2 octets une fois décompressé.").arg(name, QString::number(maxBytes));
    if (size > maxBytes)
        return fail(tooLarge);
    if (size >= ratioFrom && double(size) > double(packed) * double(ratio))
        return fail(QStringLiteral("« %1 » est compressé plus de %2 fois, comme dans une archive piégée.")
                        .arg(name, QString::number(ratio)));
    zip_file_t *file = zip_fopen_index(m_archive, zip_uint64_t(index), 0);
    if (!file)
        return fail(QStringLiteral("« %1 » ne peut pas être lu.").arg(name));
    // The declared size bounds what is read: an entry larger than it said stops there.
    bytes->clear();
    bytes->reserve(qsizetype(size));
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            ok = fail(QStringLiteral("« %1 » est endommagé.").arg(name));
            break;
        }
        if (n == 0)
            break;
        if (bytes->size() + n > std::min(size, maxBytes)) {
            ok = fail(QStringLiteral("« %1 » est plus grand que ce qu'annonce l'archive.").arg(name));
            break;
        }
        bytes->append(buffer, qsizetype(n));
    }
    zip_fclose(file);
    if (!ok)
        bytes->clear();
    return ok;
}

} // namespace ZipSupport
