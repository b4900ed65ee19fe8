#version 120
// Passes the corner's position through the fixed-function matrices and its
// texture coordinate on: for the fractals the complex number at the corner,
// for the colour bar the position along the colour table.
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
