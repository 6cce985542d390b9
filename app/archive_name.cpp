// Archive names: the last dot of the whole name decides.
#include "app/archive_name.h"

#include <new>

#include "platform/hresult_exception.h"

WideString ArchiveNameOf(WideView logFileName) try {
    WideString name(logFileName.substr(0, logFileName.rfind(u'.')));
    name += u".zip";
    return name;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
