#pragma once
// The audio unit graph: a 3D mixer ('aumx' '3dem') whose output feeds the output unit
// ('auou' 'rioc'). Every call answers a status (noErr on success) and leaves its outputs
// alone on failure.
//
// Life cycle: NewAUGraph -> AUGraphAddNode (one output, one mixer) -> AUGraphConnectNodeInput
// (mixer output 0 -> output input 0) -> AUGraphOpen -> AUGraphNodeInfo (unit handles) ->
// AudioUnitSetProperty / AUGraphSetNodeInputCallback -> AUGraphInitialize -> AUGraphStart /
// AUGraphStop ... -> DisposeAUGraph.
//
// Units and what they accept:
// - 3D mixer: one input bus (kAudioUnitProperty_ElementCount in the input scope accepts 1
//   only). Input bus format: linear PCM, 44100 Hz, 16-bit signed packed interleaved, 1 or 2
//   channels (one channel plays on both sides); it may be changed at any time, also while
//   playing, and takes effect at the next block. Output format: 44100 Hz stereo, either
//   8.24 fixed point (interleaved or not) or 16-bit signed interleaved; set it before
//   AUGraphInitialize. Defaults: input 16-bit interleaved stereo, output 8.24
//   non-interleaved stereo. Parameters: k3DMixerParam_Gain (dB, -120..+20, output scope
//   element 0 or input scope bus 0; default 0 dB), k3DMixerParam_PlaybackRate (0.5..2.0,
//   input scope bus 0; default 1.0); azimuth, elevation and distance are stored and have
//   no audible effect. The mixer pulls its input through the render callback installed on
//   its input bus, in blocks of the output's block size (at rate r about r times as many
//   frames). A callback that answers a non-zero status gives a silent block. At rate 1.0
//   with no rate change under way the samples pass through untouched.
// - Output unit: plays the mixer's output as 44100 Hz 16-bit stereo through the audio
//   server (PulseAudio, about 20 ms of buffering) or, where no server can be reached, into
//   a null output paced in real time on its own thread; a test may install a capturing
//   output instead (AudioCapture.h). The choice is made at every AUGraphStart.
//
// Threading: the render callback runs on the output's thread. AUGraphStop called from
// inside the render callback only marks the graph stopped (AUGraphIsRunning answers false
// at once) and the output winds down after the callback returns, playing out what it
// buffered; called from any other thread it returns once no callback is in progress and
// none will follow, and the audio server's stream is corked rather than closed: what the
// server still holds is kept and plays first at the next AUGraphStart, so a stop and a
// start lose and repeat nothing (AudioUnitReset on the output unit drops it instead). Start, stop and
// the property calls are meant for one controlling thread at a time; parameters may be set
// from any thread and take effect at the next block.

#include "platform/audio/AudioUnitTypes.h"

struct OpaqueAUGraph;
using AUGraph = OpaqueAUGraph*;
using AUNode = SInt32;
struct OpaqueAudioUnit;
using AudioUnit = OpaqueAudioUnit*;

// Creation and disposal. DisposeAUGraph stops a running graph first (it must not be called
// from the render callback: kAudioUnitErr_CannotDoInCurrentContext).
OSStatus NewAUGraph(AUGraph* outGraph);
OSStatus DisposeAUGraph(AUGraph graph);

// Adds a node for a known component ('auou'/'rioc' or 'aumx'/'3dem', manufacturer 'appl' or
// 0); an unknown description answers kAUGraphErr_InvalidAudioUnit. Nodes can only be added
// while the graph is not open (kAUGraphErr_CannotDoInCurrentContext).
OSStatus AUGraphAddNode(AUGraph graph, const AudioComponentDescription* description, AUNode* outNode);

// Connects an output of one node to an input of another: only mixer output 0 to output-unit
// input 0 (kAUGraphErr_InvalidConnection otherwise; kAUGraphErr_NodeNotFound for a node
// that is not in the graph).
OSStatus AUGraphConnectNodeInput(AUGraph graph, AUNode sourceNode, UInt32 sourceOutputNumber,
                                 AUNode destNode, UInt32 destInputNumber);

// Opens the graph: creates the units. Opening an open graph does nothing.
OSStatus AUGraphOpen(AUGraph graph);

// The node's description and unit (either output may be null). The unit exists once the
// graph is open (kAUGraphErr_CannotDoInCurrentContext before).
OSStatus AUGraphNodeInfo(AUGraph graph, AUNode node, AudioComponentDescription* outDescription,
                         AudioUnit* outUnit);

// Installs the render callback that feeds one input bus of a mixer node. The callback gets
// an AudioBufferList with one interleaved buffer in the bus's format. A null inputProc
// removes it (the bus then plays silence).
OSStatus AUGraphSetNodeInputCallback(AUGraph graph, AUNode node, UInt32 inputNumber,
                                     const AURenderCallbackStruct* callback);

// Initialises the units (needs an open graph with an output node and its mixer connected:
// kAUGraphErr_OutputNodeErr / kAudioUnitErr_NoConnection otherwise). Initialising an
// initialised graph does nothing. Uninitialising stops a running graph first.
OSStatus AUGraphInitialize(AUGraph graph);
OSStatus AUGraphUninitialize(AUGraph graph);

// Start needs an initialised graph (kAudioUnitErr_Uninitialized) and does nothing when it is
// running already. Stop on a graph that is not running does nothing. See Threading above.
OSStatus AUGraphStart(AUGraph graph);
OSStatus AUGraphStop(AUGraph graph);
OSStatus AUGraphIsRunning(AUGraph graph, Boolean* outIsRunning);

// Unit properties: kAudioUnitProperty_StreamFormat (input or output scope, 40 bytes),
// kAudioUnitProperty_ElementCount (4 bytes; settable on the mixer's input scope) and
// kAudioUnitProperty_MaximumFramesPerSlice (read only, 4096). Statuses: an unknown property
// kAudioUnitErr_InvalidProperty, a scope the property has not kAudioUnitErr_InvalidScope, an
// element beyond the bus count kAudioUnitErr_InvalidElement, a wrong size or value
// kAudioUnitErr_InvalidPropertyValue, a format the unit cannot take
// kAudioUnitErr_FormatNotSupported, a change that needs an uninitialised unit
// kAudioUnitErr_Initialized, a fixed value kAudioUnitErr_PropertyNotWritable, a null data
// pointer kAudio_ParamError.
OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID property, AudioUnitScope scope,
                              AudioUnitElement element, const void* data, UInt32 dataSize);
// ioDataSize: in, the room at outData; out, the bytes written.
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID property, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize);

// Unit parameters (the mixer's, see above). A playback rate set from inside the render
// callback, while it fills the mixer's input, steps to the new rate without a glide at
// input frame bufferOffsetInFrames of the block being filled (from any other thread the
// offset is ignored and the rate glides there at the next block). The speed/pitch effect
// relies on it to change its pitch compensation on the same frame.
// Unit parameters: an unknown parameter or a value out of range
// kAudioUnitErr_InvalidParameter, a scope the parameter has not kAudioUnitErr_InvalidScope, an
// element beyond the bus count kAudioUnitErr_InvalidElement. The output unit has none.
OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID parameter, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames);
// Drops what a unit holds of audio rendered before. The mixer forgets what its varispeed
// holds at its next block (safe while playing); the output unit has the audio server drop
// what it has buffered and not played yet, keeping what is rendered after the call. Any
// thread but the render thread.
OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element);

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID parameter, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue);

// The mixer input frame (the sample time its input callback is given) whose sound the
// listener hears now: what the output has played of what it rendered (for the audio
// server, asked with one round trip and waited for, at most 0.2 s), mapped back through
// what the varispeed held when each piece was rendered. Also while stopped with the
// output paused. kAudioUnitErr_NoConnection when nothing has played since the graph
// started or the output cannot tell now. Any controlling thread, not the render thread.
OSStatus AudioOutputHeardInputFrame(AUGraph graph, Float64* outFrame);

// Prints the graph's nodes and connections to standard output (diagnostics; the layout is
// free). Anything that is not a graph prints one line saying so.
void CAShow(void* graph);
