#ifndef INCLUDED_farray_DimensionExpressionMul_hh
#define INCLUDED_farray_DimensionExpressionMul_hh

#include "farray/DimensionExpressionBinary.hh"

namespace farray {

FARRAY_DIMENSION_EXPRESSION_NODE( DimensionExpressionMul )

} // farray

#endif
