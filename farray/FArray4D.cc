#include "farray/FArray4D.hh"

namespace farray {

template class FArray4D< double >;

} // farray
