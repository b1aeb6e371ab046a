#ifndef INCLUDED_farray_DimensionExpressionSub_hh
#define INCLUDED_farray_DimensionExpressionSub_hh

#include "farray/DimensionExpressionBinary.hh"

namespace farray {

FARRAY_DIMENSION_EXPRESSION_NODE( DimensionExpressionSub )

} // farray

#endif
