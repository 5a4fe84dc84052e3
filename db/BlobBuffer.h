#pragma once

#include <QByteArray>

namespace regdesk {

// The process-wide buffer that blob writes send from and blob reads fill;
// the attachment code hands file contents through it.
struct BlobBuffer
{
    QByteArray bytes;
    qsizetype length = 0;

    static BlobBuffer& instance();
};

} // namespace regdesk
