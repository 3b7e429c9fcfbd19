# The dashboard's chart library, uPlot, at the version pinned in src/web/package-lock.json:
# `npm ci` fetches it into the build folder once, and rcc builds its script, style sheet and
# licence into wendro_web, so the page loads nothing from another host. A rebuild with an
# unchanged lock file does not touch the network.
find_program(NPM npm REQUIRED)
set(npm_dir ${CMAKE_BINARY_DIR}/web-npm)
configure_file(${CMAKE_SOURCE_DIR}/src/web/package.json ${npm_dir}/package.json COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/src/web/package-lock.json ${npm_dir}/package-lock.json COPYONLY)
set(uplot_files
    ${npm_dir}/node_modules/uplot/dist/uPlot.iife.min.js
    ${npm_dir}/node_modules/uplot/dist/uPlot.min.css
    ${npm_dir}/node_modules/uplot/LICENSE)
# npm dates what it unpacks 1985: the touch keeps Ninja from fetching again at every build.
add_custom_command(OUTPUT ${uplot_files}
    COMMAND ${NPM} ci --no-audit --no-fund --ignore-scripts --prefer-offline
    COMMAND ${CMAKE_COMMAND} -E touch ${uplot_files}
    DEPENDS ${npm_dir}/package-lock.json ${npm_dir}/package.json
    WORKING_DIRECTORY ${npm_dir}
    COMMENT "Fetching uPlot from npm at the version in src/web/package-lock.json"
    VERBATIM)
file(CONFIGURE OUTPUT ${npm_dir}/uplot.qrc CONTENT [[
<RCC>
    <qresource prefix="/web">
        <file alias="uplot.js">node_modules/uplot/dist/uPlot.iife.min.js</file>
        <file alias="uplot.css">node_modules/uplot/dist/uPlot.min.css</file>
        <file alias="uplot-license.txt">node_modules/uplot/LICENSE</file>
    </qresource>
</RCC>
]])
add_custom_command(OUTPUT ${npm_dir}/qrc_uplot.cpp
    COMMAND Qt6::rcc --name uplot --output qrc_uplot.cpp uplot.qrc
    DEPENDS ${npm_dir}/uplot.qrc ${uplot_files}
    WORKING_DIRECTORY ${npm_dir}
    VERBATIM)
set_source_files_properties(${npm_dir}/qrc_uplot.cpp PROPERTIES SKIP_AUTOGEN ON)
target_sources(wendro_web PRIVATE ${npm_dir}/qrc_uplot.cpp)
