#include "apps/quilter/StartedPrograms.hh"

#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

bool silent_GM = true;

namespace {

std::string q( const std::string& s ) { return shell_quote( s ); }
std::string sl() { return std::to_string( silent_GM ? 0 : 1 ); }

} // namespace

std::string fixedText( double v )
{
	char buf[ 64 ];
	std::snprintf( buf, sizeof buf, "%f", v );
	return buf;
}

std::string placerCommand( const std::string& bindir, const std::string& map, const std::string& chain, double reso,
	double gridWidth, double threshold, int positions )
{
	return q( bindir + "/Placer" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl() + "  -rc 0";
}

std::string placerOnlyCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions )
{
	return q( bindir + "/Placer" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl();
}

std::string placerRNACommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions, const std::string& atomType )
{
	return q( bindir + "/PlacerRNA" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl() + " -tp " + q( atomType ) + " -rc 0";
}

std::string rasterseekCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	const std::string& resultName, double reso, int results, int processes )
{
	std::string cmd = q( bindir + "/Rasterseek" ) + " " + q( map ) + " " + q( chain ) + " " + q( resultName ) +
	                  " -res " + doubleToString( reso ) + " -deg " + doubleToString( 20.0 ) + " -explor " +
	                  intToString( results );
	if ( processes >= 2 ) cmd += " -nprocs " + intToString( processes );
	return cmd + " >FFTlog.txt";
}

std::string lobeplaceCommand( const std::string& bindir, const std::string& workDir, const std::string& map,
	double reso, const std::string& inputPrefix, double gridWidth, double threshold, const std::string& outputName,
	int iterate, int processes )
{
	return q( bindir + "/Lobeplace" ) + " " + q( workDir ) + " " + q( map ) + " " + fixedText( reso ) + " -in " +
	       q( inputPrefix ) + " -gw " + fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " +
	       std::to_string( 1 ) + " \t\t\t\t\t-on " + q( outputName ) + " -sl " + sl() + " -st 1 -it " +
	       std::to_string( iterate ) + " -nco " + std::to_string( processes );
}

std::string lobetuneCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar )
{
	return q( bindir + "/Lobetune" ) + " " + q( map ) + " " + q( model ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( 1 ) +
	       " \t\t\t\t\t\t-sl " + sl() + " -on " + q( outputName ) + " -sch " + std::to_string( similar );
}

std::string lobetuneGlobalCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar )
{
	return q( bindir + "/Lobetune" ) + " " + q( map ) + " " + q( model ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm 1 \t\t\t\t-sl 0 -on " +
	       q( outputName ) + " -sch " + std::to_string( similar );
}

std::string lobecutCommand( const std::string& bindir, const std::string& chainTag, const std::string& logPath )
{
	return q( bindir + "lobecut" ) + " " + q( chainTag ) + " >" + q( logPath );
}

std::string fftResultPath( const std::string& dir, const std::string& name, int k )
{
	return dir + "/" + name + "_00" + std::to_string( k ) + ".pdb";
}

std::string fitResultPath( const std::string& dir, const std::string& name, int k )
{
	return dir + "/" + name + "_" + std::to_string( k ) + ".pdb";
}

int runCommand( const std::string& command )
{
	std::fflush( stdout );
	return std::system( command.c_str() );
}

void removeFiles( const std::vector< std::string >& paths )
{
	for ( std::string const& p : paths ) ::unlink( p.c_str() );
}
