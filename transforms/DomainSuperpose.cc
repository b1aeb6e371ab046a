#include "transforms/DomainSuperpose.hh"

#include "alignment/StructAlign.hh"
#include "core/basic_fun_Quilt.hh"
#include "transforms/ModelOutput.hh"
#include "transforms/ResidueRows.hh"

#include <cmath>
#include <iostream>

int len_tail = 10;

namespace {

void copy_row( double const* from, double* to )
{
	to[ 0 ] = from[ 0 ];
	to[ 1 ] = from[ 1 ];
	to[ 2 ] = from[ 2 ];
}

int residue_count( Protein const& p ) { return static_cast< int >( p.residues.size() ); }

// Copies the atom rows of residue i of p (rows of `atoms`) to out from row
// `next` on, never past `rows`; false when they did not all fit.
bool put_residue_atoms( std::vector< int > const& off, int i, double** atoms, double** out, int& next, int rows )
{
	for ( int a = off[ i ]; a < off[ i + 1 ]; ++a ) {
		if ( next >= rows ) return false;
		copy_row( atoms[ a ], out[ next++ ] );
	}
	return true;
}

bool lists_fit_residues( Protein const& p, std::vector< int > const& numbers, char const* what )
{
	if ( static_cast< int >( numbers.size() ) > residue_count( p ) ) {
		std::cout << "Error! " << what << ": " << numbers.size() << " residue numbers given for a model of "
		          << residue_count( p ) << " residues; nothing is joined." << std::endl;
		return false;
	}
	return true;
}

} // namespace

double** get_xyzCAall( double** a, double** b, int na, int nb, bool insert, int pos )
{
	if ( na < 0 ) na = 0;
	if ( nb < 0 ) nb = 0;
	double** out = new2DArr( na + nb, 3 );
	if ( insert && ( pos < -1 || pos > na - 1 ) ) {
		int const kept = pos < -1 ? -1 : na - 1;
		std::cout << "Warning! get_xyzCAall: insertion after row " << pos << " of " << na << " rows; inserted after row "
		          << kept << " instead." << std::endl;
		pos = kept;
	}
	if ( !insert ) pos = na - 1;
	int next = 0;
	for ( int i = 0; i <= pos; ++i ) copy_row( a[ i ], out[ next++ ] );
	for ( int i = 0; i < nb; ++i ) copy_row( b[ i ], out[ next++ ] );
	for ( int i = pos + 1; i < na; ++i ) copy_row( a[ i ], out[ next++ ] );
	return out;
}

double** get_xyzall( Protein proteinA, Protein proteinB, double** atomsA, double** atomsB, bool insert, int pos )
{
	int const rows = proteinA.atomCount + proteinB.atomCount;
	double** out = new2DArr( rows, 3 );
	int next = 0;
	if ( !insert ) {
		for ( int i = 0; i < proteinA.atomCount; ++i ) copy_row( atomsA[ i ], out[ next++ ] );
		for ( int i = 0; i < proteinB.atomCount; ++i ) copy_row( atomsB[ i ], out[ next++ ] );
		return out;
	}
	int const nresA = residue_count( proteinA );
	if ( pos < -1 || pos > nresA - 1 ) {
		int const kept = pos < -1 ? -1 : nresA - 1;
		std::cout << "Warning! get_xyzall: insertion after residue " << pos << " of " << nresA
		          << " residues; inserted after residue " << kept << " instead." << std::endl;
		pos = kept;
	}
	std::vector< int > const offA = residue_atom_offsets( proteinA.residues ), offB = residue_atom_offsets( proteinB.residues );
	bool fits = true;
	for ( int i = 0; i <= pos; ++i ) fits = fits && put_residue_atoms( offA, i, atomsA, out, next, rows );
	for ( int i = 0; i < residue_count( proteinB ); ++i ) fits = fits && put_residue_atoms( offB, i, atomsB, out, next, rows );
	for ( int i = pos + 1; i < nresA; ++i ) fits = fits && put_residue_atoms( offA, i, atomsA, out, next, rows );
	if ( !fits ) std::cout << "Warning! get_xyzall: the residues hold more atoms than the models count." << std::endl;
	return out;
}

double** get_xyzCAall( double** a, double** b, std::vector< int > numbersA, std::vector< int > numbersB )
{
	double** const src[ 2 ] = { a, b };
	std::vector< std::pair< int, int > > const picks = merged_order( { numbersA, numbersB } );
	double** out = new2DArr( static_cast< int >( picks.size() ), 3 );
	for ( std::size_t k = 0; k < picks.size(); ++k ) copy_row( src[ picks[ k ].first ][ picks[ k ].second ], out[ k ] );
	return out;
}

double** get_xyzall( Protein proteinA, Protein proteinB, double** atomsA, double** atomsB,
	std::vector< int > numbersA, std::vector< int > numbersB )
{
	int const rows = proteinA.atomCount + proteinB.atomCount;
	double** out = new2DArr( rows, 3 );
	if ( !lists_fit_residues( proteinA, numbersA, "get_xyzall" ) || !lists_fit_residues( proteinB, numbersB, "get_xyzall" ) )
		return out;
	std::vector< int > const off[ 2 ] = { residue_atom_offsets( proteinA.residues ), residue_atom_offsets( proteinB.residues ) };
	double** const src[ 2 ] = { atomsA, atomsB };
	int next = 0;
	bool fits = true;
	for ( auto const& pick : merged_order( { numbersA, numbersB } ) )
		fits = fits && put_residue_atoms( off[ pick.first ], pick.second, src[ pick.first ], out, next, rows );
	if ( !fits ) {
		std::cout << "Warning! get_xyzall: residue numbers shared by both models take more rows than the models have;"
		          << " the last rows are left out." << std::endl;
	}
	return out;
}

void Merge_all_dom( std::vector< Protein > domains, std::vector< double** > domainCA,
	std::vector< double** > domainAtoms, std::vector< std::vector< int > > domainLists, double** outCA,
	double** outCB, double** outAll )
{
	std::size_t const D = domainLists.size();
	if ( domains.size() < D || domainCA.size() < D || domainAtoms.size() < D ) {
		std::cout << "Error! Merge_all_dom: " << D << " domain lists for " << domains.size() << " models, "
		          << domainCA.size() << " CA arrays and " << domainAtoms.size() << " atom arrays; nothing is merged."
		          << std::endl;
		return;
	}
	std::vector< std::vector< int > > off;
	int atomRows = 0; // the caller's outAll: one row per atom of every listed residue
	for ( std::size_t d = 0; d < D; ++d ) {
		if ( !lists_fit_residues( domains[ d ], domainLists[ d ], "Merge_all_dom" ) ) return;
		off.push_back( residue_atom_offsets( domains[ d ].residues ) );
		atomRows += off[ d ][ domainLists[ d ].size() ];
	}
	std::vector< std::pair< int, int > > const picks = merged_order( domainLists );
	int needed = 0;
	for ( auto const& pick : picks ) needed += off[ pick.first ][ pick.second + 1 ] - off[ pick.first ][ pick.second ];
	if ( needed > atomRows ) {
		std::cout << "Error! Merge_all_dom: residue numbers shared by several domains take " << needed
		          << " atom rows, more than the " << atomRows << " atoms of the domains; nothing is merged." << std::endl;
		return;
	}
	int nextAll = 0;
	for ( std::size_t k = 0; k < picks.size(); ++k ) {
		int const d = picks[ k ].first, i = picks[ k ].second;
		Residue const& res = domains[ d ].residues[ i ];
		copy_row( domainCA[ d ][ i ], outCA[ k ] );
		for ( int a = 0; a < off[ d ][ i + 1 ] - off[ d ][ i ]; ++a ) {
			double const* row = domainAtoms[ d ][ off[ d ][ i ] + a ];
			copy_row( row, outAll[ nextAll++ ] );
			if ( a == res.cbIdx ) copy_row( row, outCB[ k ] );
		}
	}
}

double** Rotate_allatom_dom( Protein model, std::vector< std::vector< int > > domainLists, double** atoms,
	double** oldCA, double** newCA )
{
	double** out = new2DArr( model.atomCount, 3 );
	int const nres = residue_count( model );
	std::vector< int > const off = residue_atom_offsets( model.residues );
	if ( off[ nres ] > model.atomCount ) {
		std::cout << "Error! Rotate_allatom_dom: the residues hold " << off[ nres ] << " atoms, the model counts "
		          << model.atomCount << "; nothing is moved." << std::endl;
		return out;
	}
	if ( !residue_numbers_within( nres, domainLists, "Rotate_allatom_dom" ) ) return out;
	for ( auto const& list : domainLists ) {
		int const nca = static_cast< int >( list.size() );
		std::vector< int > rows;
		for ( int r : list )
			for ( int a = off[ r - 1 ]; a < off[ r ]; ++a ) rows.push_back( a );
		int const na = static_cast< int >( rows.size() );
		double** dom = new2DArr( na, 3 );
		double** before = new2DArr( nca, 3 );
		double** after = new2DArr( nca, 3 );
		for ( int j = 0; j < na; ++j ) copy_row( atoms[ rows[ j ] ], dom[ j ] );
		for ( int j = 0; j < nca; ++j ) {
			copy_row( oldCA[ list[ j ] - 1 ], before[ j ] );
			copy_row( newCA[ list[ j ] - 1 ], after[ j ] );
		}
		double** moved = rotate_allatom( dom, before, after, nca, na );
		for ( int j = 0; j < na; ++j ) copy_row( moved[ j ], out[ rows[ j ] ] );
		release2DArr( na, moved );
		release2DArr( nca, after );
		release2DArr( nca, before );
		release2DArr( na, dom );
	}
	return out;
}

// ---- alignment wrappers ------------------------------------------------------------

namespace {

// One alignment of x onto y on a working set of its own, on copies of the
// chains; the record's arrays go to the caller.  Chains without residues
// give an empty record (TM-score 0, no pairs, identity superposition).
StructAlignResult align_copies( int xlen, int ylen, double** x, double** y, int* xres, int* yres )
{
	if ( xlen < 1 || ylen < 1 ) {
		std::cout << "Error! Structure alignment of chains of " << xlen << " and " << ylen
		          << " residues: nothing to align." << std::endl;
		StructAlignResult r{ 0.0, 0.0, 0, -1, new1DArr( 3 ), new2DArr( 3, 3 ), new int[ 1 ], new int[ 1 ], 0 };
		for ( int i = 0; i < 3; ++i ) r.u[ i ][ i ] = 1.0;
		return r;
	}
	tempxlen = xlen;
	tempylen = ylen;
	load_PDB_allocate_memory( xlen, ylen, xlen, ylen );
	double** xc = new2DArr( xlen, 3 );
	double** yc = new2DArr( ylen, 3 );
	for ( int i = 0; i < xlen; ++i ) {
		copy_row( x[ i ], xc[ i ] );
		xresno[ i ] = xres[ i ];
	}
	for ( int j = 0; j < ylen; ++j ) {
		copy_row( y[ j ], yc[ j ] );
		yresno[ j ] = yres[ j ];
	}
	StructAlignResult r = StructAlign( xlen, ylen, xc, yc, xresno, yresno );
	free_residue_arrays();
	release2DArr( xlen, xc );
	release2DArr( ylen, yc );
	return r;
}

double model_score( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int mode,
	std::vector< int >& xPositions, std::vector< int >* yPositions )
{
	StructAlignResult r = align_copies( xlen, ylen, x, y, xres, yres );
	if ( mode == 0 && ylen < len_tail ) len_tail = 0;
	for ( int k = 0; k < r.n_ali8; ++k ) {
		if ( mode != 0 || r.ali_y[ k ] < ylen - len_tail ) {
			xPositions.push_back( r.ali_x[ k ] );
			if ( yPositions ) yPositions->push_back( r.ali_y[ k ] );
		}
	}
	double const tm = r.tm_y;
	release_StructAlignResult( r );
	return tm;
}

struct Correspondence {
	std::vector< std::vector< int > > const* templateLists;
	std::vector< int >* queryIdx;
	std::vector< int >* modelIdx;
};

double multimodel( int xlen, int* templateLengths, double** x, std::vector< double** > const& templates, int* xres,
	std::vector< int* > const& templateRes, double* tm, int* modes, Correspondence const* corr )
{
	int const M = static_cast< int >( templates.size() );
	if ( M < 1 || static_cast< int >( templateRes.size() ) < M ) {
		std::cout << "Error! Templatescore_multimodel needs one residue-number list for each of at least one template ("
		          << M << " templates, " << templateRes.size() << " lists given)." << std::endl;
		return 0.0;
	}
	if ( corr ) {
		for ( int k = 0; k < M; ++k ) {
			if ( k >= static_cast< int >( corr->templateLists->size() ) ||
			     static_cast< int >( ( *corr->templateLists )[ k ].size() ) < templateLengths[ k ] ) {
				std::cout << "Error! Templatescore_multimodel: template " << k + 1
				          << " has no residue number for each of its residues." << std::endl;
				return 0.0;
			}
		}
	}
	for ( int k = 0; k < M; ++k ) tm[ k ] = 0.001;

	double** query = x;
	int* qres = xres;
	int qlen = xlen;
	bool owned = false;
	for ( int k = 0; k < M; ++k ) {
		std::vector< int > alignedX, alignedY;
		tm[ k ] = model_score( qlen, templateLengths[ k ], query, templates[ k ], qres, templateRes[ k ], modes[ k ],
			alignedX, &alignedY );
		if ( corr ) {
			for ( std::size_t p = 0; p < alignedX.size(); ++p ) {
				corr->queryIdx->push_back( k == 0 ? alignedX[ p ] : qres[ alignedX[ p ] ] - 1 );
				corr->modelIdx->push_back( ( *corr->templateLists )[ k ][ alignedY[ p ] ] - 1 );
			}
		}
		if ( k + 1 >= M ) break;
		int const remaining = qlen - static_cast< int >( alignedX.size() );
		if ( remaining <= 5 ) break;
		// The next query: the rows this stage left unaligned, in order.
		std::vector< char > taken( qlen > 0 ? qlen : 0, 0 );
		for ( int p : alignedX ) taken[ p ] = 1;
		double** next = new2DArr( remaining, 3 );
		int* nextRes = new1DIntArr( remaining );
		int m = 0;
		for ( int i = 0; i < qlen; ++i ) {
			if ( taken[ i ] ) continue;
			copy_row( query[ i ], next[ m ] );
			nextRes[ m++ ] = qres[ i ];
		}
		if ( owned ) {
			release2DArr( qlen, query );
			delete[] qres;
		}
		query = next;
		qres = nextRes;
		qlen = remaining;
		owned = true;
	}
	if ( owned ) {
		release2DArr( qlen, query );
		delete[] qres;
	}
	double inv = 0.0;
	for ( int k = 0; k < M; ++k ) inv += 1.0 / tm[ k ];
	return M / inv;
}

} // namespace

double Templatescore_superpose( int xlen, int ylen, double** x, double** y, int* xres, int* yres,
	std::vector< int >& positions, double* t, double** u )
{
	StructAlignResult r = align_copies( xlen, ylen, x, y, xres, yres );
	for ( int k = 0; k < r.n_ali8; ++k ) positions.push_back( r.ali_y[ k ] );
	for ( int i = 0; i < 3; ++i ) {
		t[ i ] = r.t[ i ];
		for ( int j = 0; j < 3; ++j ) u[ i ][ j ] = r.u[ i ][ j ];
	}
	double const tm = r.tm_y;
	release_StructAlignResult( r );
	return tm;
}

double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int*, int mode,
	std::vector< int >& xPositions )
{
	return model_score( xlen, ylen, x, y, xres, yres, mode, xPositions, nullptr );
}

double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int*, int mode,
	std::vector< int >& xPositions, std::vector< int >& yPositions )
{
	return model_score( xlen, ylen, x, y, xres, yres, mode, xPositions, &yPositions );
}

double Templatescore_multimodel( int xlen, int* templateLengths, double** x, std::vector< double** > templates,
	int* xres, std::vector< int* > templateRes, double* tm, int**, int* modes )
{
	return multimodel( xlen, templateLengths, x, templates, xres, templateRes, tm, modes, nullptr );
}

double Templatescore_multimodel( int xlen, int* templateLengths, double** x, std::vector< double** > templates,
	int* xres, std::vector< int* > templateRes, double* tm, int**, int* modes,
	std::vector< std::vector< int > > templateLists, std::vector< int >& queryIdx, std::vector< int >& modelIdx )
{
	Correspondence const corr{ &templateLists, &queryIdx, &modelIdx };
	return multimodel( xlen, templateLengths, x, templates, xres, templateRes, tm, modes, &corr );
}

// ---- backbone and radius ---------------------------------------------------------

double*** getBackbone_4allatom( int nres, int natoms, double** atoms, std::vector< std::string > names )
{
	if ( nres < 0 ) nres = 0;
	double*** out = new3DArr( nres, 3, 3 );
	int seen[ 3 ] = { 0, 0, 0 };
	int const n = natoms < static_cast< int >( names.size() ) ? natoms : static_cast< int >( names.size() );
	for ( int a = 0; a < n; ++a ) {
		int const slot = names[ a ] == "N" ? 0 : names[ a ] == "CA" ? 1 : names[ a ] == "C" ? 2 : -1;
		if ( slot < 0 ) continue;
		// A residue beyond nres has no place in the table.
		if ( seen[ slot ] < nres ) copy_row( atoms[ a ], out[ seen[ slot ] ][ slot ] );
		++seen[ slot ];
	}
	return out;
}

double getRadius( std::vector< std::vector< double* > > atoms, std::vector< std::vector< std::string > > names,
	std::string mode )
{
	auto selected = [ &mode ]( std::string const& nm ) {
		if ( mode == "backbone" ) return nm == "N" || nm == "CA" || nm == "C";
		if ( mode == "centroid" ) return nm != "SG";
		return nm == "CA";
	};
	std::vector< double const* > chosen;
	for ( std::size_t i = 0; i < atoms.size() && i < names.size(); ++i ) {
		for ( std::size_t j = 0; j < atoms[ i ].size() && j < names[ i ].size(); ++j ) {
			if ( selected( names[ i ][ j ] ) ) chosen.push_back( atoms[ i ][ j ] );
		}
	}
	if ( chosen.empty() ) return 0.0;
	double* c = getCenterPoint( atoms, names, mode );
	double best = 0.0;
	for ( double const* p : chosen ) {
		double const dx = p[ 0 ] - c[ 0 ], dy = p[ 1 ] - c[ 1 ], dz = p[ 2 ] - c[ 2 ];
		double const d2 = dx * dx + dy * dy + dz * dz;
		if ( d2 > best ) best = d2;
	}
	delete[] c;
	return std::sqrt( best );
}
