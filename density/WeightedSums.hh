// Sums of a weighted Pearson correlation between calculated (model) and
// observed (map) values, shared by the correlations of DensityScore and
// FastDensityScore.
#ifndef QUILT_DENSITY_WEIGHTEDSUMS_HH
#define QUILT_DENSITY_WEIGHTEDSUMS_HH

#include <cmath>

namespace density_detail {

struct WeightedSums {
	double w = 0.0, c = 0.0, o = 0.0, cc = 0.0, oo = 0.0, oc = 0.0;
	void add( double wt, double calc, double obs )
	{
		w += wt;
		c += wt * calc;
		o += wt * obs;
		cc += wt * calc * calc;
		oo += wt * obs * obs;
		oc += wt * obs * calc;
	}
	double varC() const { return cc - c * c / w; }
	double varO() const { return oo - o * o / w; }
	double cov() const { return oc - o * c / w; }
	// The correlation; 0 when the weights vanish or either variance is not
	// positive (a constant map or model, or an empty selection).
	double correlation() const
	{
		if ( !( w > 0.0 ) ) return 0.0;
		double const vc = varC(), vo = varO();
		// A variance at the rounding level of its sums is zero: a constant map
		// or model would otherwise correlate as noise.
		if ( !( vc > 1e-12 * std::fabs( cc ) ) || !( vo > 1e-12 * std::fabs( oo ) ) ) return 0.0;
		double const r = cov() / std::sqrt( vo * vc );
		return std::isfinite( r ) ? r : 0.0;
	}
};

} // namespace density_detail

#endif
