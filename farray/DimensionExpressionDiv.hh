#ifndef INCLUDED_farray_DimensionExpressionDiv_hh
#define INCLUDED_farray_DimensionExpressionDiv_hh

#include "farray/DimensionExpressionBinary.hh"

namespace farray {

FARRAY_DIMENSION_EXPRESSION_NODE( DimensionExpressionDiv )

} // farray

#endif
