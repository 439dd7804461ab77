#pragma once

#include <QByteArray>
#include <QList>

// Fresh memory comes to a process page by page, a fault for every 4 kB (on a
// virtual machine several microseconds each): a buffer of many megabytes asks
// for large pages instead, where the system offers them.
namespace LargeBuffer {

// Advice only: on a system without large pages nothing changes.
void advise(const void *begin, qsizetype bytes);

inline void reserve(QByteArray &bytes, qsizetype size)
{
    bytes.reserve(size);
    advise(bytes.constData(), bytes.capacity());
}

template <typename T>
void reserve(QList<T> &list, qsizetype size)
{
    list.reserve(size);
    advise(list.constData(), list.capacity() * qsizetype(sizeof(T)));
}

} // namespace LargeBuffer
