#ifndef GARBWRIGHT_CONVERSIONERROR_H
#define GARBWRIGHT_CONVERSIONERROR_H

#include <stdexcept>

namespace ConversionServer {

// A request that the server refuses or cannot carry out. The client only ever sees the
// error reply; the text says why, for the server's log.
class ConversionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace ConversionServer

#endif
