#include "apps/siblings/rigid_fit.hh"

#include "core/basic_fun_Quilt.hh"
#include "fitting/DensScoreMultifunc.hh"
#include "fitting/Minimizer.hh"
#include "fitting/Placer.hh"

#include <algorithm>
#include <cmath>

namespace siblings {

Vec3 moved_point( Rigid const& m, Vec3 const& p )
{
	Vec3 q;
	for ( int r = 0; r < 3; ++r ) q[r] = m.R[r][0] * p[0] + m.R[r][1] * p[1] + m.R[r][2] * p[2] + m.t[r];
	return q;
}

Rigid compose( Rigid const& second, Rigid const& first )
{
	Rigid out;
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) {
			double s = 0.0;
			for ( int k = 0; k < 3; ++k ) s += second.R[i][k] * first.R[k][j];
			out.R[i][j] = s;
		}
		out.t[i] = second.R[i][0] * first.t[0] + second.R[i][1] * first.t[1] + second.R[i][2] * first.t[2] + second.t[i];
	}
	return out;
}

Rigid translation( Vec3 const& t )
{
	Rigid m;
	for ( int r = 0; r < 3; ++r ) m.t[r] = t[r];
	return m;
}

Rigid pose_rigid( double const* x, double const* centre )
{
	Rigid m;
	get_rot_matrix( m.R, x[3], x[4], x[5] );
	for ( int r = 0; r < 3; ++r )
		m.t[r] = centre[r] + x[r] - ( m.R[r][0] * centre[0] + m.R[r][1] * centre[1] + m.R[r][2] * centre[2] );
	return m;
}

double rotation_angle( Rigid const& m )
{
	double const c = ( m.R[0][0] + m.R[1][1] + m.R[2][2] - 1.0 ) * 0.5;
	return std::acos( std::max( -1.0, std::min( 1.0, c ) ) ) * 180.0 / M_PI;
}

std::vector<Vec3> moved_rows( std::vector<Vec3> const& xyz, std::vector<int> const& rows, Rigid const& m )
{
	std::vector<Vec3> out( xyz );
	for ( int r : rows ) out[r] = moved_point( m, xyz[r] );
	return out;
}

double rows_rmsd( std::vector<Vec3> const& a, std::vector<Vec3> const& b, std::vector<int> const& rows )
{
	if ( rows.empty() ) return 0.0;
	double s = 0.0;
	for ( int r : rows )
		for ( int c = 0; c < 3; ++c ) s += ( a[r][c] - b[r][c] ) * ( a[r][c] - b[r][c] );
	return std::sqrt( s / rows.size() );
}

std::vector<int> select_rows( ChainModel const& model, std::vector<int> const& residues, std::string const& type,
	std::string& used )
{
	std::vector<int> const all = residue_rows( model, residues );
	auto named = [&]( std::string const& name ) {
		std::vector<int> out;
		for ( int r : all )
			if ( model.names[r] == name ) out.push_back( r );
		return out;
	};
	used = type;
	if ( type == "all" ) return all;
	std::vector<int> rows = named( type );
	if ( rows.empty() && type == "CA" ) {
		used = "P";
		rows = named( "P" );
	}
	return rows;
}

std::vector<int> trace_rows( ChainModel const& model, std::vector<int> const& residues )
{
	std::vector<int> rows;
	for ( int r : residues ) {
		int const a = model.trace_atom( r );
		if ( a >= 0 ) rows.push_back( a );
	}
	return rows;
}

double trace_correlation( FastDensityScore& map, std::vector<Vec3> const& xyz, std::vector<int> const& rows )
{
	if ( rows.empty() ) return 0.0;
	double** ca = new2DArr( (int)rows.size(), 3 );
	for ( size_t i = 0; i < rows.size(); ++i )
		for ( int c = 0; c < 3; ++c ) ca[i][c] = xyz[rows[i]][c];
	double const v = map.getRSCC( ca, (int)rows.size(), 4.0 );
	release2DArr( (int)rows.size(), ca );
	return v;
}

double atom_correlation( FastDensityScore& map, ChainModel const& model, std::vector<Vec3> const& xyz,
	std::vector<int> const& rows )
{
	std::vector<poseCoord> atoms;
	for ( int r : rows ) {
		poseCoord p;
		p.x = xyz[r][0];
		p.y = xyz[r][1];
		p.z = xyz[r][2];
		p.elt = model.names[r].substr( 0, 1 );
		atoms.push_back( p );
	}
	farray::FArray3D<double> calc, mask;
	bool const q = map.quiet;
	map.quiet = true;
	map.calcRhoC( atoms, calc, mask );
	map.quiet = q;
	return map.getRSCC( calc, mask );
}

namespace {

// The body's atoms in the engine's form: one group of coordinate triples
// with their names.  Every atom is scored ("centroid" selects all but "SG",
// so a cysteine SG is handed over as sulphur "S").
struct EngineModel {
	std::vector<std::vector<double*> > model;
	std::vector<std::vector<std::string> > names;

	EngineModel( std::vector<Vec3> const& xyz, std::vector<std::string> const& atomNames, Rigid const& pose )
		: model( 1 ), names( 1 )
	{
		for ( size_t i = 0; i < xyz.size(); ++i ) {
			Vec3 const q = moved_point( pose, xyz[i] );
			model[0].push_back( new double[3]{ q[0], q[1], q[2] } );
			names[0].push_back( atomNames[i] == "SG" ? std::string( "S" ) : atomNames[i] );
		}
	}
	~EngineModel() { releaseVecVecT1D( model ); }
	EngineModel( EngineModel const& ) = delete;
	EngineModel& operator=( EngineModel const& ) = delete;

	Vec3 centroid() const
	{
		Vec3 c = { 0, 0, 0 };
		for ( double const* p : model[0] )
			for ( int r = 0; r < 3; ++r ) c[r] += p[r];
		for ( int r = 0; r < 3; ++r ) c[r] /= std::max<size_t>( 1, model[0].size() );
		return c;
	}
};

char const* const kAllAtoms = "centroid";

// Minus 100 times the correlation of a trace with the map (the density
// code's CA model density, radius 4 A), with its pose gradient.
class TraceCorrelationObjective : public Multifunc {
public:
	TraceCorrelationObjective( FastDensityScore const& map, std::vector<Vec3> const& trace, Vec3 const& centre )
		: map_( map ), n_( (int)trace.size() ), centre_( centre )
	{
		xyz_ = new2DArr( n_, 3 );
		for ( int i = 0; i < n_; ++i )
			for ( int r = 0; r < 3; ++r ) xyz_[i][r] = trace[i][r];
	}
	~TraceCorrelationObjective() override { release2DArr( n_, xyz_ ); }
	TraceCorrelationObjective( TraceCorrelationObjective const& ) = delete;
	TraceCorrelationObjective& operator=( TraceCorrelationObjective const& ) = delete;

	double operator()( double* x ) const override
	{
		double** moved = Rotation_translation_euler_CA( xyz_, n_, x, centre_.data() );
		double const v = map_.getRSCC( moved, n_, 4.0 );
		release2DArr( n_, moved );
		return -kWeight * v;
	}
	void dfunc( double* x, double* g ) const override
	{
		double** moved = Rotation_translation_euler_CA( xyz_, n_, x, centre_.data() );
		double grad[6];
		map_.dCCdx_RSCC_6D_CA( xyz_, moved, centre_.data(), n_, x, grad );
		release2DArr( n_, moved );
		for ( int k = 0; k < 6; ++k ) g[k] = -kWeight * grad[k];
	}

private:
	static constexpr double kWeight = 100.0;
	mutable FastDensityScore map_;
	int n_;
	double** xyz_;
	mutable Vec3 centre_;
};

} // namespace

RigidBody::RigidBody( ChainModel const& model, std::vector<int> const& rows )
	: RigidBody( model, rows, model.xyz ) {}

RigidBody::RigidBody( ChainModel const& model, std::vector<int> const& rows, std::vector<Vec3> const& xyz )
	: rows_( rows )
{
	for ( int r : rows ) {
		xyz_.push_back( xyz[r] );
		names_.push_back( model.names[r] );
		trace_.push_back( model.is_trace_row( r ) ? 1 : 0 );
	}
}

double RigidBody::objective( FastDensityScore const& map, Rigid const& pose ) const
{
	EngineModel em( xyz_, names_, pose );
	Vec3 c = em.centroid();
	DensScoreMultifunc f( 6, em.model, em.names, map, 5000.0, c.data(), false, kAllAtoms );
	double x[6] = { 0, 0, 0, 0, 0, 0 };
	return f.value_only( x );
}

double RigidBody::refine( FastDensityScore const& map, Rigid& pose, Score score ) const
{
	if ( xyz_.empty() ) return 0.0;
	// z-x-z Euler angles lose a degree of freedom at a zero middle angle, so
	// the refinement starts from the middle angle 90 degrees: the atoms are
	// turned back by that rotation about their centroid first, and the start
	// pose puts them where they were.
	double const start[6] = { 0, 0, 0, 0, M_PI / 2, 0 };
	Vec3 c;
	{
		EngineModel placed( xyz_, names_, pose );
		c = placed.centroid();
	}
	double const zero[6] = { 0, 0, 0, 0, 0, 0 };
	Rigid const turn = pose_rigid( start, zero );
	Rigid back;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) back.R[i][j] = turn.R[j][i];
	Rigid const unturn = compose( translation( c ), compose( back, translation( { -c[0], -c[1], -c[2] } ) ) );
	Rigid const base = compose( unturn, pose );
	double x[6];
	std::copy( start, start + 6, x );
	double v = 0.0;
	if ( score == TRACE_CORRELATION ) {
		std::vector<Vec3> trace;
		for ( size_t i = 0; i < xyz_.size(); ++i )
			if ( trace_[i] ) trace.push_back( moved_point( base, xyz_[i] ) );
		if ( trace.empty() ) return 0.0;
		TraceCorrelationObjective f( map, trace, c );
		Minimizer minimizer( f );
		v = minimizer.run( x, 6, 1000, "fractional" );
	} else {
		EngineModel em( xyz_, names_, base );
		DensScoreMultifunc f( 6, em.model, em.names, map, 5000.0, c.data(), false, kAllAtoms );
		Minimizer minimizer( f );
		v = minimizer.run( x, 6, 1000, "fractional" );
	}
	pose = compose( pose_rigid( x, c.data() ), base );
	return v;
}

std::vector<std::pair<double, Rigid> > RigidBody::search( FastDensityScore const& map, int residues, bool quiet ) const
{
	std::vector<std::pair<double, Rigid> > out;
	if ( xyz_.empty() ) return out;
	// The engine starts from the body moved onto the map centre.
	EngineModel em( xyz_, names_, Rigid() );
	Vec3 const mean = em.centroid();
	Vec3 shift;
	for ( int r = 0; r < 3; ++r ) shift[r] = map.densCenter[r] - mean[r];
	for ( double* p : em.model[0] )
		for ( int r = 0; r < 3; ++r ) p[r] += shift[r];
	Vec3 c = em.centroid();
	Placer placer( std::max( 1, residues ), c.data(), em.model, em.names, map, kAllAtoms, "body", ".", true, quiet );
	std::vector<std::pair<double, double*> > kept;
	int generation = 0;
	placer.run( kept, c.data(), 1, generation );
	Rigid const toCentre = translation( shift );
	for ( auto const& r : placer.refined_poses() ) out.push_back( std::make_pair( r.first, compose( pose_rigid( r.second, c.data() ), toCentre ) ) );
	placer.memory_release();
	for ( auto& k : kept ) delete[] k.second;
	std::stable_sort( out.begin(), out.end(),
		[]( std::pair<double, Rigid> const& a, std::pair<double, Rigid> const& b ) { return a.first < b.first; } );
	return out;
}

} // namespace siblings
