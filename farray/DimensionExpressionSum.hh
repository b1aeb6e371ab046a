#ifndef INCLUDED_farray_DimensionExpressionSum_hh
#define INCLUDED_farray_DimensionExpressionSum_hh

#include "farray/DimensionExpressionBinary.hh"

namespace farray {

FARRAY_DIMENSION_EXPRESSION_NODE( DimensionExpressionSum )

} // farray

#endif
