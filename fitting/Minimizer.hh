// Limited-memory BFGS minimiser with a non-monotone Armijo line search.
//
// A `Multifunc` supplies value and gradient of a smooth function of n
// doubles; `Minimizer::run` refines a start point in place.  Nothing here
// knows about maps or models.
#ifndef QUILT_FITTING_MINIMIZER_HH
#define QUILT_FITTING_MINIMIZER_HH

#include <memory>
#include <string>
#include <vector>

class ReferenceCount1 {
public:
	virtual ~ReferenceCount1() {}
};

// Objective: value and gradient at a point of n doubles.
class Multifunc : public ReferenceCount1 {
public:
	virtual ~Multifunc() {}
	virtual double operator()( double* x ) const = 0;
	// The value alone, for callers that will ask for no gradient at x (the
	// same number as operator(); objectives that prepare the gradient along
	// with the value can skip that work here).
	virtual double value_only( double* x ) const { return ( *this )( x ); }
	// Writes the gradient at x into g.
	virtual void dfunc( double* x, double* g ) const = 0;
	virtual bool abort_min( double* ) const { return false; }
	// Diagnostic hook called when a line search gives up.
	virtual void dump( double*, double* ) const {}
};

// The objective restricted to one line: phi(a) = F(start + a d).
class func_1d {
public:
	func_1d( int n, double* start, double* dir, Multifunc const& f );
	double operator()( double a );
	void dump( double a );
	int eval_count() const { return eval_count_; }

private:
	int n_;
	double* start_;
	double* dir_;
	std::vector<double> eval_point_;
	Multifunc const* func_;
	int eval_count_;
};

class LineMinimizationAlgorithm : public ReferenceCount1 {
public:
	explicit LineMinimizationAlgorithm( Multifunc const& f, bool nonmonotone = true )
		: last_accepted_step_( 1.0 ), func_to_beat_( 0.0 ), deriv_sum_( 0.0 ),
		  num_linemin_calls_( 0 ), func_( &f ), nonmonotone_( nonmonotone ), silent_( true ),
		  num_calls_( 0 ) {}
	virtual ~LineMinimizationAlgorithm() {}
	virtual double operator()( int, double*, double* ) { return 0.0; }
	virtual bool provide_stored_derivatives() { return false; }

	// Step accepted by the latest search (0.0 when it gave up).
	double last_accepted_step_;
	// Value a trial point has to beat (largest of the recent values).
	double func_to_beat_;
	// Directional derivative g.d at the start of the search.
	double deriv_sum_;
	int num_linemin_calls_;
	Multifunc const* func_;
	bool nonmonotone_;
	// Suppresses the "Inaccurate G!" report.
	bool silent_;
	// Objective evaluations made by the searches.
	int num_calls_;
};

class ArmijoLineMinimization : public LineMinimizationAlgorithm {
public:
	ArmijoLineMinimization( Multifunc const& f, bool nonmonotone = true, double max_step = 1.0 )
		: LineMinimizationAlgorithm( f, nonmonotone ), max_step_limit_( max_step ) {}
	// Moves x to x + a d and scales d to a d; returns the value there.
	double operator()( int n, double* x, double* d ) override;
	bool provide_stored_derivatives() override { return false; }
	// Backtracking from a0; returns the value at the accepted step.
	double Armijo( double a0, func_1d& phi );

	double max_step_limit_;
};

class Minimizer {
public:
	explicit Minimizer( Multifunc& f ) : func_( f ) {}
	virtual ~Minimizer() {}

	// Refines x (n doubles) in place; returns the objective at the final x.
	// type: "fractional", "maxstep" or anything else for an absolute test.
	double run( double* x, int n, int maxiter, std::string type );

	void lbfgs( double* x, int n, double& fret, std::shared_ptr<LineMinimizationAlgorithm> search,
		int maxiter, std::string type, bool rescore );

	// History length of the two-loop recursion.
	static int const HISTORY = 128;

private:
	struct Pair {
		double alpha = 0.0;
		std::vector<double> s, y;
		double ys = 0.0;
	};

	Multifunc& func_;
	// Work storage of the latest run.
	std::vector<double> xp_, s_, g_, gp_, y_, d_, pf_;
	std::vector<Pair> history_;
};

bool fractional_converge_test( double a, double b );
bool absolute_converge_test( double a, double b );

#endif
