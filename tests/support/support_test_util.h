#pragma once

#include "support/zip_box.h"

#include <QByteArray>

#include <zlib.h>

#include <memory>

// One archive item, stored deflated (method 1) or as is (method 0).
inline std::unique_ptr<TBoxItem> MakeItem(const QByteArray& name, const QByteArray& content, int method = 1,
                                          const QByteArray& path = {})
{
    auto item = std::make_unique<TBoxItem>();
    item->pName = name;
    item->pPath = path;
    item->pM = std::uint8_t(method);
    item->pSize = std::int32_t(content.size());
    if (method == 1) {
        uLongf size = compressBound(uLong(content.size()));
        item->pD.resize(qsizetype(size));
        compress(reinterpret_cast<Bytef*>(item->pD.data()), &size,
                 reinterpret_cast<const Bytef*>(content.constData()), uLong(content.size()));
        item->pD.truncate(qsizetype(size));
    } else {
        item->pD = content;
    }
    item->pSizeB = std::int32_t(item->pD.size());
    return item;
}

inline QByteArray ItemBytes(const QByteArray& name, const QByteArray& content, int method = 1)
{
    return WriteComponentStream(MakeItem(name, content, method)->ToStream());
}
