#include "farray/FArray3D.hh"

namespace farray {

template class FArray3D< double >;
template class FArray3D< float >;
template class FArray3D< std::complex< double > >;

} // farray
