#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// A multipart/form-data body split into its parts. Qt builds multipart bodies but
// offers no parser, so this one is deliberately strict: the boundary must come from
// the Content-Type, every part needs a form-data Content-Disposition with a name,
// part headers are bounded, and at most kMaxParts parts are read. The part data are
// slices of the body, never copied through a text codec.
class MultipartForm {
public:
    static constexpr int kMaxParts = 16;
    static constexpr qsizetype kMaxHeaderBytes = 8 * 1024;

    struct Part {
        QString name;
        // Present only for file parts.
        std::optional<QString> filename;
        QByteArray contentType;
        QByteArray data;
    };

    struct Result {
        QList<Part> parts;
        QString error;
        bool ok() const { return error.isEmpty(); }
    };

    static Result parse(const QByteArray &contentType, const QByteArray &body);
    // The boundary parameter of a multipart/form-data content type, or empty.
    static QByteArray boundary(const QByteArray &contentType);

    static const Part *find(const QList<Part> &parts, const QString &name);
};

} // namespace vesk::fleetd
