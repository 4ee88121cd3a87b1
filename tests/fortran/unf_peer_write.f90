! Writes a big-endian sequential unformatted file of mixed items, for the
! layer's reader to check value for value. The file name is the argument.
program unf_peer_write
  implicit none
  character(len=512) :: path
  character(len=8) :: tag
  integer(4) :: ivals(4)
  real(8) :: dvals(3), big(1000)
  integer :: i

  call get_command_argument(1, path)
  tag = 'HEADER01'
  ivals = [1, -2, 3, 2147483647]
  dvals = [1.0d0, -2.5d0, 1.0d-300]
  do i = 1, 1000
    big(i) = i * 0.5d0
  end do

  open(10, file=trim(path), form='unformatted', access='sequential', &
       status='replace', convert='big_endian')
  write(10) tag, ivals, dvals
  write(10) big, 1000
  write(10)
  write(10) 7
  close(10)
end program unf_peer_write
